// SPDX-License-Identifier: Apache-2.0
// qzkit synth: a synthetic recording with its true beat times.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "io/BaseName.h"
#include "Subcommand.h"
#include "run/RecordLength.h"
#include "signal/Synth.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

struct SynthCommandOptions {
    SynthOptions synth;
    std::string base;
    std::string kind = "ecg";
    bool wfdb = false;
    bool manifest = false;
};

int RunSynth(const SynthCommandOptions &options)
{
    CheckBaseName(std::filesystem::path(options.base).filename().string());
    SynthOptions synth = options.synth;
    synth.kind = options.kind == "pulse" ? WaveKind::Pulse : WaveKind::Ecg;
    const SynthRecording recording = Synthesize(synth);
    if (options.manifest && !IsRecordLength(recording.samples.size())) {
        throw ToolkitError("--manifest needs --length " + RecordLengthsText());
    }
    WriteSynthFiles(options.base, recording);
    std::printf("wrote %s.ecg: %zu samples at %g Hz, %zu beats, true rate %.2f BPM\n", options.base.c_str(),
                recording.samples.size(), recording.rate, recording.beats.size(), TrueBpm(recording));
    std::printf("wrote %s.beats.csv\n", options.base.c_str());
    if (options.wfdb) {
        WriteSynthWfdb(options.base, recording);
        std::printf("wrote %s.hea, %s.dat and %s.atr\n", options.base.c_str(), options.base.c_str(),
                    options.base.c_str());
    }
    if (options.manifest) {
        WriteSynthManifest(options.base, recording);
        std::printf("wrote %s.manifest.csv\n", options.base.c_str());
    }
    return 0;
}

SubcommandAction SetUpSynth(CLI::App &command)
{
    auto options = std::make_shared<SynthCommandOptions>();
    SynthOptions &synth = options->synth;
    command.add_option("base", options->base, "Output base name: writes BASE.ecg and BASE.beats.csv")->required();
    command.add_option("--kind", options->kind, "Waveform: ecg (P-QRS-T) or pulse (PPG)")
        ->check(CLI::IsMember({"ecg", "pulse"}))
        ->capture_default_str();
    command.add_option("--bpm", synth.bpm, "Mean heart rate, beats per minute")->capture_default_str();
    command.add_option("--variability", synth.variability,
                       "Standard deviation of the RR intervals as a fraction of the mean (0 to 0.5)")
        ->capture_default_str();
    command.add_option("--ectopic", synth.ectopicFraction,
                       "Probability that a beat is premature, followed by a compensatory pause (0 to 1)")
        ->capture_default_str();
    command.add_option("--noise", synth.noise, "Standard deviation of white noise, counts")->capture_default_str();
    command.add_option("--wander", synth.wander, "Baseline wander amplitude, counts")->capture_default_str();
    command.add_option("--amplitude", synth.amplitude, "Height of the R wave or pulse peak above the baseline, counts")
        ->capture_default_str();
    command.add_option("--offset", synth.offset, "Baseline level, counts")->capture_default_str();
    command.add_option("--length", synth.length, "Samples (the heart-rate tool reads " + RecordLengthsText() + ")")
        ->capture_default_str();
    command.add_option("--rate", synth.rate, "Sampling rate, Hz")->capture_default_str();
    command.add_option("--seed", synth.seed, "Seed of the random generator")->capture_default_str();
    command.add_flag("--wfdb", options->wfdb,
                     "Also write a WFDB record (BASE.hea, BASE.dat) and beat annotations (BASE.atr)");
    command.add_flag("--manifest", options->manifest,
                     "Also write BASE.manifest.csv naming BASE.ecg as one window with its true rate "
                     "(" + RecordLengthsText() + " samples), for evaluate");
    return [options] { return RunSynth(*options); };
}

const SubcommandRegistrar registrar{"synth", "Make a deterministic synthetic ECG or pulse recording and its true beat times",
                                    SetUpSynth};

}  // namespace
}  // namespace qzkit
