// SPDX-License-Identifier: Apache-2.0
// qzkit synth: a synthetic recording with its true beat times.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "CommandOptions.h"
#include "io/BaseName.h"
#include "Subcommand.h"
#include "run/RecordLength.h"
#include "signal/Synth.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

struct SynthCommandOptions {
    SynthChoices wave;
    std::string base;
    bool wfdb = false;
    bool manifest = false;
};

int RunSynth(const SynthCommandOptions &options)
{
    CheckBaseName(std::filesystem::path(options.base).filename().string());
    const SynthRecording recording = Synthesize(options.wave.Chosen());
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
    command.add_option("base", options->base, "Output base name: writes BASE.ecg and BASE.beats.csv")->required();
    AddSynthOptions(command, options->wave);
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
