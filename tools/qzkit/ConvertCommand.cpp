// SPDX-License-Identifier: Apache-2.0
// qzkit convert: a recording into windows of the tool's format.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "convert/Convert.h"
#include "Subcommand.h"

namespace qzkit {
namespace {

struct ConvertCommandOptions {
    ConvertOptions convert;
    std::string input;
    std::string format = "auto";
    std::string quality = "best";
    std::string outputDirectory = ".";
    std::string annotations;
    std::string beatTimes;
    std::optional<double> gainPerUnit;
};

int RunConvert(const ConvertCommandOptions &options)
{
    ConvertOptions convert = options.convert;
    convert.input = options.input;
    convert.format = InputFormatNames().at(options.format);
    convert.quality = ResampleQualityNames().at(options.quality);
    convert.outputDirectory = options.outputDirectory;
    convert.annotations = options.annotations;
    convert.beatTimes = options.beatTimes;
    convert.gainPerUnit = options.gainPerUnit;
    const ConvertReport report = Convert(convert);
    for (const std::string &warning : report.source.warnings) {
        std::fprintf(stderr, "qzkit convert: warning: %s\n", warning.c_str());
    }
    std::fputs(ConvertReportText(report).c_str(), stdout);
    return 0;
}

SubcommandAction SetUpConvert(CLI::App &command)
{
    auto options = std::make_shared<ConvertCommandOptions>();
    ConvertOptions &convert = options->convert;
    command.add_option("input", options->input,
                       "Recording: WFDB header (.hea, or the record name), CSV/text (.csv .txt .tsv) or EDF/BDF")
        ->required();
    command.add_option("--format", options->format, "Input format")
        ->check(CLI::IsMember(InputFormatNames()))
        ->capture_default_str();
    command.add_option("--channel", convert.channel,
                       "Channel (WFDB description, EDF label, CSV column) or index (a number is always an index; "
                       "default: the first that is not a time column)");
    command.add_option("--input-rate", convert.inputRate, "Sampling rate of a text recording, Hz")
        ->check(CLI::PositiveNumber);
    command.add_option("--input-units", convert.inputUnits, "Units of a text recording (mV, uV, V, ...)")
        ->capture_default_str();
    command.add_option("--rate", convert.targetRate, "Target sampling rate, Hz")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    command.add_option("--quality", options->quality, "Resampler quality")
        ->check(CLI::IsMember(ResampleQualityNames()))
        ->capture_default_str();
    command.add_option("--ac-coupling", convert.acCouplingHz,
                       "Corner of a first-order AC-coupling high-pass, Hz (0: DC-coupled)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    auto *perMillivolt = command.add_option("--gain", convert.gainPerMillivolt, "Gain, counts per mV")
                             ->capture_default_str();
    command.add_option("--gain-per-unit", options->gainPerUnit,
                       "Gain, counts per unit of the input (for inputs that are not in volts)")
        ->excludes(perMillivolt);
    command.add_option("--centre", convert.centre, "Counts of physical zero")->capture_default_str();
    command.add_option("--window", convert.windowLength, "Window length, samples")
        ->check(CLI::IsMember({QZ_LONG_RECORD_SAMPLES, QZ_SHORT_RECORD_SAMPLES}))
        ->capture_default_str();
    command.add_option("--step", convert.step, "Step between window starts, samples (default: the window length)")
        ->check(CLI::PositiveNumber);
    command.add_option("--output-dir", options->outputDirectory,
                       "Directory for the windows and the manifest (created when missing)")
        ->capture_default_str();
    command.add_option("--name", convert.name, "Base name of the window files (default: the input's name)");
    auto *annotations = command.add_option("--annotations", options->annotations,
                                           "WFDB annotation file with reference beats (for the manifest), or an annotator "
                                           "name such as atr for the record's own file");
    command.add_option("--annotation-rate", convert.annotationRate,
                       "Sampling rate of the annotations, Hz (default: from the record's header)")
        ->check(CLI::PositiveNumber);
    command.add_option("--beats", options->beatTimes, "CSV of reference beat times in seconds (column time_s)")
        ->excludes(annotations);
    return [options] { return RunConvert(*options); };
}

const SubcommandRegistrar registrar{
    "convert",
    "Convert a WFDB, CSV or EDF/BDF recording: resample, map to 10 bits, cut into .ecg windows with a manifest",
    SetUpConvert};

}  // namespace
}  // namespace qzkit
