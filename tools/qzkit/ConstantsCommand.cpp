// SPDX-License-Identifier: Apache-2.0
// qzkit constants: inspect, make and design the 31-byte constants file.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "io/AtomicFile.h"
#include "io/FileBytes.h"
#include "io/ShortestDecimal.h"
#include "constants/ConstantsCheck.h"
#include "constants/ConstantsDesign.h"
#include "constants/ConstantsText.h"
#include "ConstantsTune.h"
#include "Subcommand.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

struct ConstantsCommandOptions {
    std::string showPath;
    std::string textPath;
    std::string outPath;
    DesignRequest design;
    std::string designOut;
    std::string designText;
};

std::string HexDump(const ConstantsImage &image)
{
    std::string text;
    for (const std::uint8_t byte : image) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", byte);
        text += text.empty() ? "" : " ";
        text += hex;
    }
    return text;
}

// Warnings as comment lines, so that the whole text still parses.
std::string WarningComments(const ConstantsImage &image)
{
    std::string text;
    for (const std::string &warning : CheckConstants(image)) {
        text += "# warning: " + warning + "\n";
    }
    return text;
}

int RunShow(const ConstantsCommandOptions &options)
{
    std::size_t extraBytes = 0;
    const std::filesystem::path file = ConstantsFilePath(options.showPath);
    const ConstantsImage image = ReadConstantsFile(file, extraBytes);
    std::printf("# %s: %s\n", file.string().c_str(), HexDump(image).c_str());
    if (extraBytes > 0) {
        std::printf("# note: %zu more bytes follow; the tool reads only the first 31\n", extraBytes);
    }
    std::fputs(FormatConstantsText(image).c_str(), stdout);
    std::fputs(WarningComments(image).c_str(), stdout);
    return 0;
}

int RunMake(const ConstantsCommandOptions &options)
{
    RefuseOutputOverInput(options.outPath, {options.textPath});
    const ParsedConstants parsed =
        ParseConstantsText(ReadTextFile(options.textPath, kShortTextLimit), options.textPath);
    std::FILE *report = ReportStream({options.outPath});
    for (const FloatRounding &rounding : parsed.roundings) {
        const double error = static_cast<double>(rounding.stored) - rounding.requested;
        std::fprintf(report, "%s: %s stored as %s (%s), error %.3g", rounding.field.c_str(),
                     ShortestDecimal(rounding.requested).c_str(), ShortestDecimal(rounding.stored).c_str(),
                     DescribeFloat24(rounding.bytes).c_str(), error);
        if (std::isfinite(error) && rounding.requested != 0.0) {
            std::fprintf(report, " (%.3g relative)", error / std::fabs(rounding.requested));
        }
        std::fprintf(report, "\n");
    }
    for (const std::string &warning : CheckConstants(parsed.image)) {
        std::fprintf(stderr, "warning: %s\n", warning.c_str());
    }
    WriteConstantsFile(options.outPath, parsed.image);
    std::fprintf(report, "wrote %s (31 bytes)\n", options.outPath.c_str());
    return 0;
}

int RunDesign(const ConstantsCommandOptions &options)
{
    const ConstantsDesign design = DesignConstants(options.design);
    const std::string text = DesignText(design);
    std::FILE *report = ReportStream({options.designText, options.designOut});
    std::fputs(text.c_str(), report);
    std::fputs(WarningComments(design.image).c_str(), report);
    if (!options.designText.empty()) {
        WriteFileAtomically(options.designText, [&text](std::ostream &stream) { stream << text; });
        std::fprintf(report, "# wrote %s\n", options.designText.c_str());
    }
    if (!options.designOut.empty()) {
        WriteConstantsFile(options.designOut, design.image);
        std::fprintf(report, "# wrote %s (31 bytes)\n", options.designOut.c_str());
    }
    return 0;
}

void SetUpDesignOptions(CLI::App &design, ConstantsCommandOptions &options)
{
    DesignRequest &request = options.design;
    design.add_option("--rate", request.rate, "Sampling rate, Hz")->capture_default_str();
    design.add_option("--lowpass", request.lowPassCutoff,
                      "Low-pass cut-off (-3 dB), Hz; nine taps reach 0.065 to 0.3 times the rate")
        ->capture_default_str();
    design.add_option("--highpass", request.highPassCutoff, "High-pass cut-off (-3 dB), Hz")->capture_default_str();
    design.add_option("--highpass-order", request.highPassOrder,
                      "3: Butterworth over (1 - z^-1)^3; 1: one pole over (1 - z^-1)(1 + z^-2), for slow waves")
        ->check(CLI::IsMember({1, 3}))
        ->capture_default_str();
    design.add_option("--swing", request.swing,
                      "Counts from the median the low-pass gives the largest excursion of a buffer (32 to 511)")
        ->capture_default_str();
    design.add_option("--min-bpm", request.minBpm, "Lowest plausible rate, BPM")->capture_default_str();
    design.add_option("--max-bpm", request.maxBpm, "Highest plausible rate, BPM (at most 1023)")->capture_default_str();
    design.add_option("--one-peak-bpm", request.onePeakBpm, "Rate reported (with QI 3) when only one peak is found")
        ->capture_default_str();
    design.add_option("--out", options.designOut, "Write the 31-byte constants file here");
    design.add_option("--text", options.designText, "Write the text form (with the description) here");
}

SubcommandAction SetUpConstants(CLI::App &command)
{
    auto options = std::make_shared<ConstantsCommandOptions>();
    command.require_subcommand(1);
    CLI::App *show = command.add_subcommand("show", "Print every field of a constants file, with warnings");
    show->add_option("file", options->showPath, "Constants file, or its base name without .pvx.filters.v1")
        ->required();
    CLI::App *make = command.add_subcommand("make", "Make a constants file from its text form");
    make->add_option("text", options->textPath, "Text form: 'Field = value' lines, '#' comments")->required();
    make->add_option("out", options->outPath, "Constants file to write (.pvx.filters.v1)")->required();
    CLI::App *design = command.add_subcommand(
        "design", "Design a constants set from cut-offs and rate limits and print its responses and ranges");
    SetUpDesignOptions(*design, *options);
    const SubcommandAction tune = SetUpTune(command);
    CLI::App *tuneCommand = command.get_subcommand("tune");
    return [options, show, make, tune, tuneCommand] {
        if (tuneCommand->parsed()) {
            return tune();
        }
        if (show->parsed()) {
            return RunShow(*options);
        }
        if (make->parsed()) {
            return RunMake(*options);
        }
        return RunDesign(*options);
    };
}

const SubcommandRegistrar registrar{"constants", "Show, make, design or tune the 31-byte filter-constants file",
                                    SetUpConstants};

}  // namespace
}  // namespace qzkit
