// SPDX-License-Identifier: Apache-2.0
// qzkit conformance: the heart-rate-meter test battery run on the estimator
// with the given constants and settings.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "conformance/Battery.h"
#include "conformance/ConformanceFigure.h"
#include "conformance/ConformanceReport.h"
#include "constants/ConstantsImage.h"
#include "io/AtomicFile.h"
#include "io/BaseName.h"
#include "io/TextFormat.h"
#include "RunSettingsOptions.h"
#include "Subcommand.h"

namespace qzkit {
namespace {

struct ConformanceCommandOptions {
    BatteryOptions battery;
    std::string constants;
    RunSettingsOptions settings;
    std::string length = "both";
    std::string kind = "ecg";
    std::string output = "conformance";
};

std::vector<std::size_t> Lengths(const std::string &choice)
{
    if (choice == "both") {
        return {QZ_LONG_RECORD_SAMPLES, QZ_SHORT_RECORD_SAMPLES};
    }
    return {choice == std::to_string(QZ_SHORT_RECORD_SAMPLES) ? QZ_SHORT_RECORD_SAMPLES : QZ_LONG_RECORD_SAMPLES};
}

BatteryOptions Configure(const ConformanceCommandOptions &options)
{
    BatteryOptions battery = options.battery;
    battery.constants = ReadConstantsFile(options.constants);
    battery.settings = options.settings.Runs().front();
    battery.lengths = Lengths(options.length);
    if (battery.families.empty()) {
        battery.families = FamiliesOfKind(options.kind == "pulse");
    }
    return battery;
}

// What ran, for the picture's heading.
std::string Title(const ConformanceCommandOptions &options, const BatteryOptions &battery)
{
    const qz::run_settings_struct &settings = battery.settings;
    return Format("constants %s; settings %u %u %u %u; gain %g counts/mV; %zu phases per case",
                  options.constants.c_str(), settings.StageMask, settings.PeakDetection, settings.BeatMethod,
                  settings.DerivativeOrder, battery.gainPerMillivolt, battery.seeds);
}

// The four files are put in place together with the run's other outputs.
int RunConformance(const ConformanceCommandOptions &options)
{
    const BatteryOptions battery = Configure(options);
    const std::vector<BatteryRun> runs = RunBattery(battery);
    const std::vector<CaseSummary> summaries = SummarizeCases(runs);
    const std::string summary = SummaryMarkdown(summaries, battery.gainPerMillivolt);
    const RenderedFigure figure = RenderConformanceFigure(battery, runs, Title(options, battery));
    const std::filesystem::path csv = WithSuffix(options.output, ".csv");
    const std::filesystem::path markdown = WithSuffix(options.output, ".md");
    WriteRunsCsv(csv, runs);
    WriteFileAtomically(markdown, [&summary](std::ostream &stream) { stream << summary; });
    WriteFigureFiles(options.output, figure);
    std::fputs(summary.c_str(), stdout);
    return AllGradedCasesPass(summaries) ? kExitDone : kExitCaseFailed;
}

SubcommandAction SetUpConformance(CLI::App &command)
{
    auto options = std::make_shared<ConformanceCommandOptions>();
    command.add_option("--constants", options->constants,
                       "Filter constants: the file, or its base name without .pvx.filters.v1")
        ->required();
    AddRunSettingsOptions(command, options->settings, false);
    const std::string longRecord = std::to_string(QZ_LONG_RECORD_SAMPLES);
    const std::string shortRecord = std::to_string(QZ_SHORT_RECORD_SAMPLES);
    command.add_option("--length", options->length, "Record length: " + longRecord + ", " + shortRecord + " or both")
        ->check(CLI::IsMember({longRecord, shortRecord, std::string("both")}))
        ->capture_default_str();
    command.add_option("--gain", options->battery.gainPerMillivolt, "Front-end gain, counts per mV, around count 512")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    command.add_option("--ac-coupling", options->battery.acCouplingHz,
                       "Front-end high-pass corner, Hz (0: DC-coupled)")
        ->capture_default_str();
    command.add_option("--seeds", options->battery.seeds, "Phases of the first beat per case and length")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    command.add_option("--kind", options->kind, "Families to run when --family is not given: ecg or pulse")
        ->check(CLI::IsMember({"ecg", "pulse"}))
        ->capture_default_str();
    command.add_option("--family", options->battery.families, "Run only these families (any kind)");
    command.add_option("-o,--output", options->output,
                       "Output base name: OUTPUT.csv, OUTPUT.md, OUTPUT.svg and OUTPUT.png")
        ->capture_default_str();
    return [options] { return RunConformance(*options); };
}

const SubcommandRegistrar registrar{"conformance",
                                    "Run the heart-rate-meter test battery on the estimator and grade it (exit "
                                    "status 1 when a graded case fails)",
                                    SetUpConformance};

}  // namespace
}  // namespace qzkit
