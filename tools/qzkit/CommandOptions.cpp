// SPDX-License-Identifier: Apache-2.0
#include "CommandOptions.h"

#include <CLI/CLI.hpp>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "run/RecordLength.h"

namespace qzkit {
namespace {

// A check of a number's value; text that is no number is left to the
// conversion, which names it.
CLI::Validator ValueCheck(bool (*accepts)(double), const char *refusal, const char *description)
{
    return CLI::Validator(
        [accepts, refusal](std::string &text) {
            double value = 0.0;
            return !CLI::detail::lexical_cast(text, value) || accepts(value) ? std::string() : text + refusal;
        },
        description);
}

CLI::Validator NumberGiven()
{
    return CLI::Validator(
        // cppcheck-suppress constParameter ; the signature CLI11's validators have
        [](std::string &text) { return text.empty() ? std::string("needs a number, not an empty value") : std::string(); },
        "");
}

// True for an option whose values are numbers: its type name (before the
// validators' descriptions) is one of CLI11's number types.
bool TakesNumbers(const CLI::Option &option)
{
    const std::string type = option.get_type_name();
    const std::string base = type.substr(0, type.find(':'));
    return base == "INT" || base == "UINT" || base == "FLOAT";
}

}  // namespace

void RefuseEmptyNumbers(CLI::App &app)
{
    for (CLI::Option *option : app.get_options()) {
        if (TakesNumbers(*option)) {
            option->transform(NumberGiven());  // first, before the range checks, which would name no value
        }
    }
    for (CLI::App *command : app.get_subcommands({})) {
        RefuseEmptyNumbers(*command);
    }
}

CLI::Validator AboveZero()
{
    return ValueCheck([](double value) { return value > 0.0; }, " is not above 0", "POSITIVE");
}

CLI::Validator ZeroOrMore()
{
    return ValueCheck([](double value) { return value >= 0.0; }, " is not 0 or above", "NONNEGATIVE");
}

SynthOptions SynthChoices::Chosen() const
{
    SynthOptions chosen = synth;
    chosen.kind = kind == "pulse" ? WaveKind::Pulse : WaveKind::Ecg;
    return chosen;
}

void AddSynthOptions(CLI::App &command, SynthChoices &choices)
{
    SynthOptions &synth = choices.synth;
    command.add_option("--kind", choices.kind, "Waveform: ecg (P-QRS-T) or pulse (PPG)")
        ->check(CLI::IsMember({"ecg", "pulse"}))
        ->capture_default_str();
    command.add_option("--bpm", synth.bpm, "Mean heart rate, beats per minute")->capture_default_str();
    command.add_option("--variability", synth.variability,
                       "Standard deviation of the RR intervals as a fraction of the mean (0 to 0.5)")
        ->capture_default_str();
    command.add_option("--ectopic", synth.ectopicFraction,
                       "Probability that a beat is premature, followed by a compensatory pause (0 to 1)")
        ->capture_default_str();
    command.add_option("--noise", synth.noise, "Standard deviation of white noise, counts")
        ->capture_default_str();
    command.add_option("--wander", synth.wander, "Baseline wander amplitude, counts")->capture_default_str();
    command.add_option("--amplitude", synth.amplitude,
                       "Height of the R wave or pulse peak above the baseline, counts")
        ->capture_default_str();
    command.add_option("--offset", synth.offset, "Baseline level, counts")->capture_default_str();
    command.add_option("--length", synth.length,
                       "Samples (the heart-rate tool reads " + RecordLengthsText() + ")")
        ->capture_default_str();
    command.add_option("--rate", synth.rate, "Sampling rate, Hz")->capture_default_str();
    command.add_option("--seed", synth.seed, "Seed of the random generator")->capture_default_str();
}

void AddDesignOptions(CLI::App &design, DesignRequest &request)
{
    design.add_option("--rate", request.rate, "Sampling rate, Hz")->capture_default_str();
    design.add_option("--lowpass", request.lowPassCutoff,
                      "Low-pass cut-off (-3 dB), Hz; nine taps reach 0.065 to 0.3 times the rate")
        ->capture_default_str();
    design.add_option("--highpass", request.highPassCutoff, "High-pass cut-off (-3 dB), Hz")
        ->capture_default_str();
    design.add_option("--highpass-order", request.highPassOrder,
                      "3: Butterworth over (1 - z^-1)^3; 1: one pole over (1 - z^-1)(1 + z^-2), for slow waves")
        ->check(CLI::IsMember({1, 3}))
        ->capture_default_str();
    design.add_option("--swing", request.swing,
                      "Counts from the median the low-pass gives the largest excursion of a buffer (32 to 511)")
        ->capture_default_str();
    design.add_option("--min-bpm", request.minBpm, "Lowest plausible rate, BPM")->capture_default_str();
    design.add_option("--max-bpm", request.maxBpm, "Highest plausible rate, BPM (at most 1023)")
        ->capture_default_str();
    design.add_option("--one-peak-bpm", request.onePeakBpm,
                      "Rate reported (with QI 3) when only one peak is found")
        ->capture_default_str();
}

ConvertOptions ConvertChoices::Chosen() const
{
    ConvertOptions chosen = convert;
    chosen.input = input;
    chosen.format = InputFormatNames().at(format);
    chosen.quality = ResampleQualityNames().at(quality);
    chosen.outputDirectory = outputDirectory;
    chosen.annotations = annotations;
    chosen.beatTimes = beatTimes;
    chosen.gainPerUnit = gainPerUnit;
    return chosen;
}

void AddConvertOptions(CLI::App &command, ConvertChoices &choices)
{
    ConvertOptions &convert = choices.convert;
    command.add_option("input", choices.input,
                       "Recording: WFDB header (.hea, or the record name), CSV/text (.csv .txt .tsv) or EDF/BDF")
        ->required();
    command.add_option("--format", choices.format, "Input format")
        ->check(CLI::IsMember(InputFormatNames()))
        ->capture_default_str();
    command.add_option("--channel", convert.channel,
                       "Channel (WFDB description, EDF label, CSV column) or index (a number is always an index; "
                       "default: the first that is not a time column)");
    command.add_option("--input-rate", convert.inputRate, "Sampling rate of a text recording, Hz")
        ->check(AboveZero());
    command.add_option("--input-units", convert.inputUnits, "Units of a text recording (mV, uV, V, ...)")
        ->capture_default_str();
    command.add_option("--rate", convert.targetRate, "Target sampling rate, Hz")
        ->check(AboveZero())
        ->capture_default_str();
    command.add_option("--quality", choices.quality, "Resampler quality")
        ->check(CLI::IsMember(ResampleQualityNames()))
        ->capture_default_str();
    command.add_option("--ac-coupling", convert.acCouplingHz,
                       "Corner of a first-order AC-coupling high-pass, Hz (0: DC-coupled)")
        ->check(ZeroOrMore())
        ->capture_default_str();
    auto *perMillivolt =
        command.add_option("--gain", convert.gainPerMillivolt, "Gain, counts per mV")->capture_default_str();
    command.add_option("--gain-per-unit", choices.gainPerUnit,
                       "Gain, counts per unit of the input (for inputs that are not in volts)")
        ->excludes(perMillivolt);
    command.add_option("--centre", convert.centre, "Counts of physical zero")->capture_default_str();
    command.add_option("--window", convert.windowLength, "Window length, samples")
        ->check(CLI::IsMember({QZ_LONG_RECORD_SAMPLES, QZ_SHORT_RECORD_SAMPLES}))
        ->capture_default_str();
    command.add_option("--step", convert.step,
                       "Step between window starts, samples (default: the window length)")
        ->check(AboveZero());
    command.add_option("--output-dir", choices.outputDirectory,
                       "Directory for the windows and the manifest (created when missing)")
        ->capture_default_str();
    command.add_option("--name", convert.name, "Base name of the window files (default: the input's name)");
    auto *annotations = command.add_option("--annotations", choices.annotations,
                                           "WFDB annotation file with reference beats (for the manifest), or an "
                                           "annotator name such as atr for the record's own file");
    command.add_option("--annotation-rate", convert.annotationRate,
                       "Sampling rate of the annotations, Hz (default: from the record's header)")
        ->check(AboveZero());
    command.add_option("--beats", choices.beatTimes, "CSV of reference beat times in seconds (column time_s)")
        ->excludes(annotations);
}

}  // namespace qzkit
