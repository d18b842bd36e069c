// qzkit evaluate: the estimator over every window of a manifest, scored
// against reference beats.
#include <cstdio>
#include <memory>
#include <string>

#include "evaluate/ManifestEvaluation.h"
#include "Subcommand.h"

namespace qzkit {
namespace {

struct EvaluateCommandOptions {
    EvaluateOptions evaluate;
    std::string manifest;
    std::string constants;
    std::string annotations;
    std::string beatTimes;
    std::string output;
    std::string summary;
};

int RunEvaluate(const EvaluateCommandOptions &options)
{
    EvaluateOptions evaluate = options.evaluate;
    evaluate.manifest = options.manifest;
    evaluate.constants = options.constants;
    evaluate.annotations = options.annotations;
    evaluate.beatTimes = options.beatTimes;
    evaluate.output = options.output;
    evaluate.summary = options.summary;
    const EvaluateReport report = Evaluate(evaluate);
    std::fputs(EvaluateReportText(report).c_str(), ReportStream({options.output, options.summary}));
    return 0;
}

SubcommandAction SetUpEvaluate(CLI::App &command)
{
    auto options = std::make_shared<EvaluateCommandOptions>();
    EstimatorSettings &settings = options->evaluate.settings;
    command.add_option("manifest", options->manifest, "Manifest written by convert (or synth --manifest)")
        ->required();
    command.add_option("--constants", options->constants,
                       "Filter constants: the file, or its base name without .pvx.filters.v1")
        ->required();
    auto *annotations = command.add_option("--annotations", options->annotations,
                                           "WFDB annotation file with the reference beats");
    command.add_option("--annotation-rate", options->evaluate.annotationRate,
                       "Sampling rate of the annotations, Hz (default: from the record's header)")
        ->check(CLI::PositiveNumber);
    command.add_option("--beats", options->beatTimes, "CSV of reference beat times in seconds (column time_s)")
        ->excludes(annotations);
    command.add_option("--mask", settings.stageMask, "Stage mask, as the tool's third argument")
        ->capture_default_str();
    command.add_option("--peak", settings.peakDetection, "Peak detection: 0 absolute, 1 variable threshold")
        ->capture_default_str();
    command.add_option("--beat-method", settings.beatMethod,
                       "Beat classification: 1 template matching, 2 level-based, other statistical")
        ->capture_default_str();
    command.add_option("--derivative", settings.derivativeOrder, "Derivative order: 2 or 5 (other values give 2)")
        ->capture_default_str();
    command.add_option("-o,--output", options->output, "Per-window CSV to write");
    command.add_option("--summary", options->summary, "Summary text file to write");
    return [options] { return RunEvaluate(*options); };
}

const SubcommandRegistrar registrar{"evaluate",
                                    "Run the estimator in-process over every window of a manifest and score it "
                                    "against reference beats",
                                    SetUpEvaluate};

}  // namespace
}  // namespace qzkit
