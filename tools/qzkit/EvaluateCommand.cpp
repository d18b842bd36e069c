// SPDX-License-Identifier: Apache-2.0
// qzkit evaluate: the estimator over every window of one or more manifests,
// for every combination of constants and settings, scored against reference
// beats.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "evaluate/ManifestEvaluation.h"
#include "evaluate/SummaryTable.h"
#include "RunSettingsOptions.h"
#include "Subcommand.h"

namespace qzkit {
namespace {

struct EvaluateCommandOptions {
    EvaluateOptions evaluate;
    RunSettingsOptions settings;
    std::vector<std::string> manifests;
    std::vector<std::string> constants;
    std::vector<std::string> annotations;
    std::vector<std::string> beatTimes;
    std::string output;
    std::string summary;
    std::string report;
};

std::vector<std::filesystem::path> Paths(const std::vector<std::string> &texts)
{
    return {texts.begin(), texts.end()};
}

int RunEvaluate(const EvaluateCommandOptions &options)
{
    EvaluateOptions evaluate = options.evaluate;
    evaluate.manifests = Paths(options.manifests);
    evaluate.constants = Paths(options.constants);
    evaluate.annotations = Paths(options.annotations);
    evaluate.beatTimes = Paths(options.beatTimes);
    evaluate.settings = options.settings.Runs();
    evaluate.output = options.output;
    evaluate.summary = options.summary;
    evaluate.report = options.report;
    const EvaluateReport report = Evaluate(evaluate);
    std::fputs(SummaryText(report).c_str(), ReportStream({options.output, options.summary, options.report}));
    return 0;
}

SubcommandAction SetUpEvaluate(CLI::App &command)
{
    auto options = std::make_shared<EvaluateCommandOptions>();
    command.add_option("manifest", options->manifests,
                       "Manifests written by convert (or synth --manifest), one per recording")
        ->required();
    command.add_option("--constants", options->constants,
                       "Filter constants: the file, or its base name without .pvx.filters.v1; several (after one "
                       "--constants or repeated) to compare sets")
        ->required();
    auto *annotations = command.add_option("--annotations", options->annotations,
                                           "WFDB annotation file with the reference beats, one per manifest "
                                           "(default: the beats each manifest names)")
                            ->allow_extra_args(false);
    command.add_option("--annotation-rate", options->evaluate.annotationRate,
                       "Sampling rate of the annotations, Hz (default: from the record's header)")
        ->check(CLI::PositiveNumber);
    command.add_option("--beats", options->beatTimes,
                       "CSV of reference beat times in seconds (column time_s), one per manifest")
        ->allow_extra_args(false)
        ->excludes(annotations);
    AddRunSettingsOptions(command, options->settings, true);
    command.add_option("-o,--output", options->output, "Per-window CSV to write (a row per window and combination)");
    command.add_option("--summary", options->summary, "Summary text file to write");
    command.add_option("--report", options->report,
                       "HTML report to write: one self-contained page with tables, charts and the worst windows");
    options->evaluate.jobs = std::max(1u, std::thread::hardware_concurrency());
    command.add_option("--jobs", options->evaluate.jobs,
                       "Worker processes running the windows (default: the machine's cores); the outputs do not "
                       "depend on it")
        ->check(CLI::Range(1, 64))
        ->capture_default_str();
    command.add_option("--worst", options->evaluate.worst, "Worst windows pictured in the report")
        ->check(CLI::Range(std::size_t{0}, kMostWorstWindows))
        ->capture_default_str();
    return [options] { return RunEvaluate(*options); };
}

const SubcommandRegistrar registrar{"evaluate",
                                    "Run the estimator in-process over every window of one or more manifests, for "
                                    "each combination of constants and settings, and score it against reference "
                                    "beats",
                                    SetUpEvaluate};

}  // namespace
}  // namespace qzkit
