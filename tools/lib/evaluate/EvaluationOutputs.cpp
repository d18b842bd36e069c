// SPDX-License-Identifier: Apache-2.0
// evaluate from the options to the files: the part of the evaluation that
// writes the outputs, the report page included.
#include "evaluate/ManifestEvaluation.h"

#include "evaluate/ReportPage.h"
#include "evaluate/SummaryTable.h"
#include "io/AtomicFile.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

std::vector<Combination> Combinations(const EvaluateOptions &options)
{
    if (options.constants.empty()) {
        throw ToolkitError("give the constants");
    }
    const std::vector<qz::run_settings_struct> settings =
        options.settings.empty() ? std::vector<qz::run_settings_struct>{qz::run_settings_struct{}} : options.settings;
    std::vector<Combination> combinations;
    for (const std::filesystem::path &constants : options.constants) {
        for (const qz::run_settings_struct &one : settings) {
            combinations.push_back({constants, one});
        }
    }
    return combinations;
}

// Every output goes into an existing directory, checked before the first is
// written so that a bad last output leaves no first one behind.
void CheckOutputDirectories(const EvaluateOptions &options)
{
    for (const std::filesystem::path &path : {options.output, options.summary, options.report}) {
        const std::filesystem::path directory = path.parent_path().empty() ? "." : path.parent_path();
        std::error_code error;
        if (!path.empty() && !std::filesystem::is_directory(directory, error)) {
            throw ToolkitError(path.string() + ": directory " + directory.string() + " does not exist");
        }
    }
}

void RefuseOutputsOverInputs(const EvaluateOptions &options)
{
    std::vector<std::filesystem::path> inputs = options.manifests;
    inputs.insert(inputs.end(), options.constants.begin(), options.constants.end());
    inputs.insert(inputs.end(), options.annotations.begin(), options.annotations.end());
    inputs.insert(inputs.end(), options.beatTimes.begin(), options.beatTimes.end());
    for (const std::filesystem::path &output : {options.output, options.summary, options.report}) {
        for (const std::filesystem::path &input : inputs) {
            RefuseOutputOverInput(output, {input});
        }
    }
}

void WriteText(const std::filesystem::path &path, const std::string &text)
{
    WriteFileAtomically(path, [&text](std::ostream &stream) { stream << text; });
}

}  // namespace

EvaluateReport Evaluate(const EvaluateOptions &options)
{
    if (options.manifests.empty()) {
        throw ToolkitError("give at least one manifest");
    }
    CheckOutputDirectories(options);
    RefuseOutputsOverInputs(options);
    const std::vector<RecordInput> records = ReadRecords(options);
    const std::vector<Combination> combinations = Combinations(options);
    std::vector<ConstantsImage> images;
    for (const Combination &combination : combinations) {
        images.push_back(ReadConstantsFile(combination.constants));
        CheckRates(records, images.back(), combination.constants);
    }
    EvaluateReport report = StartReport(records, combinations);
    RunCombinations(report, images, records, options.jobs);

    const std::string page = options.report.empty() ? std::string() : ReportPage(report, options);
    if (!options.output.empty()) {
        WritePerWindowCsv(options.output, report);
    }
    if (!options.summary.empty()) {
        WriteText(options.summary, SummaryText(report));
    }
    if (!options.report.empty()) {
        WriteText(options.report, page);
    }
    return report;
}

}  // namespace qzkit
