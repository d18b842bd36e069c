// SPDX-License-Identifier: Apache-2.0
// Scoring for Python: the evaluation of qzkit evaluate over manifests or
// windows in memory, through the same reading, running and summarising code,
// and its two halves for a cluster: the outcomes of one record's windows (on
// a worker) and the report assembled from every record's outcomes.
#include <mutex>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include "Bindings.h"
#include "ToolkitError.h"
#include "convert/Convert.h"
#include "evaluate/ManifestEvaluation.h"
#include "io/BaseName.h"
#include "evaluate/SummaryTable.h"
#include "run/RunSettingsText.h"

namespace py = pybind11;

namespace {

using Samples = py::array_t<std::uint16_t, py::array::c_style | py::array::forcecast>;
using Positions = py::array_t<double, py::array::c_style | py::array::forcecast>;
using NamedConstants = std::vector<std::pair<std::string, py::bytes>>;
using SettingsList = std::vector<std::tuple<qz::UINT16, qz::UINT16, qz::UINT16, qz::UINT16>>;

// The combinations (constants x settings, in that nesting) and their images.
struct Plan {
    std::vector<qzkit::Combination> combinations;
    std::vector<qzkit::ConstantsImage> images;
};

Plan MakePlan(const NamedConstants &constants, const SettingsList &settings)
{
    if (constants.empty()) {
        throw qzkit::ToolkitError("give the constants");
    }
    std::vector<qz::run_settings_struct> runs;
    for (const auto &[mask, peak, beat, derivative] : settings) {
        runs.push_back({mask, peak, beat, derivative});
    }
    if (runs.empty()) {
        runs.emplace_back();
    }
    Plan plan;
    for (const auto &[name, bytes] : constants) {
        for (const qz::run_settings_struct &run : runs) {
            plan.combinations.push_back({name, run});
            plan.images.push_back(ImageOf(bytes));
        }
    }
    return plan;
}

qzkit::EvaluateOptions ManifestOptions(const std::vector<std::filesystem::path> &manifests,
                                       const std::vector<std::filesystem::path> &annotations,
                                       const std::vector<std::filesystem::path> &beats, double annotationRate)
{
    qzkit::EvaluateOptions options;
    options.manifests = manifests;
    options.annotations = annotations;
    options.beatTimes = beats;
    options.annotationRate = annotationRate;
    if (manifests.empty()) {
        throw qzkit::ToolkitError("give at least one manifest");
    }
    return options;
}

void CheckRates(const std::vector<qzkit::RecordInput> &records, const Plan &plan)
{
    for (std::size_t c = 0; c < plan.images.size(); ++c) {
        qzkit::CheckRates(records, plan.images[c], plan.combinations[c].constants);
    }
}

// The report as Python sees it: the per-window CSV and the summary text as
// the command writes them, and the summary's figures by combination.
py::dict ReportView(const qzkit::EvaluateReport &report)
{
    std::ostringstream csv;
    qzkit::PerWindowCsv(report)(csv);
    py::dict figures;
    const std::vector<qzkit::SummaryRow> rows = qzkit::SummaryRows(report);
    for (std::size_t c = 0; c < report.combinations.size(); ++c) {
        py::dict column;
        for (const qzkit::SummaryRow &row : rows) {
            column[PythonText(row.label)] = PythonText(row.cells[c]);
        }
        figures[PythonText(report.combinations[c].combination.Label())] = column;
    }
    py::dict view;
    view["csv"] = PythonText(csv.str());
    view["summary"] = PythonText(qzkit::SummaryText(report));
    view["figures"] = figures;
    view["windows"] = report.windows;
    view["seconds"] = report.seconds;
    view["cpu_seconds"] = report.cpuSeconds;
    return view;
}

py::dict Run(const std::vector<qzkit::RecordInput> &records, const Plan &plan, std::size_t jobs)
{
    CheckRates(records, plan);
    qzkit::EvaluateReport report = qzkit::StartReport(records, plan.combinations);
    {
        const py::gil_scoped_release released;
        const std::lock_guard<std::mutex> hold(LibraryLock());
        qzkit::RunCombinations(report, plan.images, records, jobs);
    }
    return ReportView(report);
}

// NOLINTNEXTLINE(readability-function-size): one parameter per Python keyword argument
py::dict EvaluateManifests(const std::vector<std::filesystem::path> &manifests, const NamedConstants &constants,
                           const SettingsList &settings, const std::vector<std::filesystem::path> &annotations,
                           const std::vector<std::filesystem::path> &beats, double annotationRate, std::size_t jobs)
{
    const Plan plan = MakePlan(constants, settings);
    const qzkit::EvaluateOptions options = ManifestOptions(manifests, annotations, beats, annotationRate);
    std::vector<qzkit::RecordInput> records;
    {
        const py::gil_scoped_release released;
        records = qzkit::ReadRecords(options);
    }
    return Run(records, plan, jobs);
}

// One record of windows in memory, named as convert names its files.
qzkit::RecordInput WindowRecord(const std::string &name, const Samples &windows,
                                const std::vector<std::size_t> &starts, double rate,
                                const std::optional<Positions> &beats)
{
    if (windows.ndim() != 2 || static_cast<std::size_t>(windows.shape(0)) != starts.size()) {
        throw qzkit::ToolkitError(name + ": give a 2-D array of windows and one start per window");
    }
    if (!(rate > 0.0)) {
        throw qzkit::ToolkitError(name + ": the sampling rate must be positive");
    }
    qzkit::CheckBaseName(name);
    const auto length = static_cast<std::size_t>(windows.shape(1));
    qzkit::RecordInput record;
    record.name = name;
    if (beats) {
        qzkit::ReferenceBeats reference;
        reference.ticks.assign(beats->data(), beats->data() + beats->size());
        for (std::size_t i = 0; i < reference.ticks.size(); ++i) {
            if (!std::isfinite(reference.ticks[i]) || reference.ticks[i] < 0.0 ||
                (i > 0 && !(reference.ticks[i] > reference.ticks[i - 1]))) {
                throw qzkit::ToolkitError(name + ": the reference beats must be sample positions of at least 0 in "
                                                 "ascending order, each once (beat " + std::to_string(i) + ")");
            }
        }
        reference.ticksPerSecond = rate;
        reference.source = "beats given for " + name;
        record.beats = std::move(reference);
    }
    record.reference = record.beats ? record.beats->source : "none given for " + name;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        qzkit::ManifestEntry entry;
        entry.file = qzkit::WindowFileName(name, i);
        entry.startSample = starts[i];
        entry.samples = length;
        entry.rate = rate;
        record.entries.push_back(entry);
        record.paths.emplace_back(entry.file);
        record.windows.emplace_back(windows.data(static_cast<py::ssize_t>(i), 0),
                                    windows.data(static_cast<py::ssize_t>(i), 0) + length);
        qzkit::CheckTenBitWindow(record.windows.back(), entry.file);
        record.references.push_back(record.beats ? qzkit::ReferenceForWindow(*record.beats, starts[i], length, rate)
                                                 : qzkit::WindowReference{});
    }
    return record;
}

py::dict EvaluateWindows(const std::vector<std::tuple<std::string, Samples, std::vector<std::size_t>, double,
                                                      std::optional<Positions>>> &given,
                         const NamedConstants &constants, const SettingsList &settings, std::size_t jobs)
{
    const Plan plan = MakePlan(constants, settings);
    if (given.empty()) {
        throw qzkit::ToolkitError("give at least one record of windows");
    }
    std::vector<qzkit::RecordInput> records;
    records.reserve(given.size());
    for (const auto &[name, windows, starts, rate, beats] : given) {
        records.push_back(WindowRecord(name, windows, starts, rate, beats));
    }
    return Run(records, plan, jobs);
}

// The outcomes of one manifest's windows, every combination's one after the
// other, as bytes for the machine that assembles the report; with the
// record's part of the per-window CSV.
py::tuple ManifestOutcomes(const std::filesystem::path &manifest, const NamedConstants &constants,
                           const SettingsList &settings, const std::vector<std::filesystem::path> &annotations,
                           const std::vector<std::filesystem::path> &beats, double annotationRate)
{
    const Plan plan = MakePlan(constants, settings);
    const qzkit::EvaluateOptions options = ManifestOptions({manifest}, annotations, beats, annotationRate);
    qzkit::EvaluateReport report;
    std::string outcomes;
    {
        const py::gil_scoped_release released;
        const std::vector<qzkit::RecordInput> records = qzkit::ReadRecords(options);
        CheckRates(records, plan);
        report = qzkit::StartReport(records, plan.combinations);
        const std::lock_guard<std::mutex> hold(LibraryLock());
        qzkit::RunCombinations(report, plan.images, records, 1);
        for (const qzkit::CombinationResult &combination : report.combinations) {
            for (const qzkit::WindowResult &result : combination.results) {
                const qzkit::WindowOutcome outcome{result.estimate, result.beats};
                outcomes.append(reinterpret_cast<const char *>(&outcome), sizeof outcome);
            }
        }
    }
    std::ostringstream csv;
    qzkit::PerWindowCsv(report)(csv);
    return py::make_tuple(PythonText(csv.str()), py::bytes(outcomes));
}

// The report of every manifest from the outcomes ManifestOutcomes gave for
// each (in manifest order), as EvaluateManifests gives it, with the times of
// the run elsewhere. Reads the manifests and references, not the windows.
// NOLINTNEXTLINE(readability-function-size): one parameter per Python keyword argument
py::dict AssembleReport(const std::vector<std::filesystem::path> &manifests, const NamedConstants &constants,
                        const SettingsList &settings, const std::vector<std::filesystem::path> &annotations,
                        const std::vector<std::filesystem::path> &beats, double annotationRate,
                        const std::vector<py::bytes> &outcomes, double seconds, double cpuSeconds, std::size_t jobs)
{
    const Plan plan = MakePlan(constants, settings);
    const qzkit::EvaluateOptions options = ManifestOptions(manifests, annotations, beats, annotationRate);
    const std::vector<qzkit::RecordInput> records = qzkit::ReadRecords(options, false);
    if (outcomes.size() != records.size()) {
        throw qzkit::ToolkitError("give the outcomes of every manifest");
    }
    qzkit::EvaluateReport report = qzkit::StartReport(records, plan.combinations);
    const std::size_t combinations = plan.combinations.size();
    std::vector<std::vector<qzkit::WindowOutcome>> byCombination(combinations);
    for (std::size_t r = 0; r < records.size(); ++r) {
        const std::string bytes = outcomes[r];
        const std::size_t windows = records[r].entries.size();
        if (bytes.size() != combinations * windows * sizeof(qzkit::WindowOutcome)) {
            throw qzkit::ToolkitError(manifests[r].string() +
                                      ": its outcomes do not fit its windows and the combinations (a worker of "
                                      "another build?)");
        }
        for (std::size_t c = 0; c < combinations; ++c) {
            for (std::size_t i = 0; i < windows; ++i) {
                qzkit::WindowOutcome outcome;
                // Trivially copyable (asserted with the type): its bytes are the whole value.
                // cppcheck-suppress memsetClass
                std::memcpy(&outcome, bytes.data() + (c * windows + i) * sizeof outcome, sizeof outcome);
                byCombination[c].push_back(outcome);
            }
        }
    }
    for (std::size_t c = 0; c < combinations; ++c) {
        qzkit::FinishCombination(report.combinations[c], records, byCombination[c]);
    }
    qzkit::SetSpeed(report, seconds, cpuSeconds, jobs);
    return ReportView(report);
}

}  // namespace

void BindEvaluation(py::module_ &module)
{
    module.def(
        "parse_settings",
        [](const std::string &text) {
            const qz::run_settings_struct settings = qzkit::ParseSettings(text);
            return std::make_tuple(settings.StageMask, settings.PeakDetection, settings.BeatMethod,
                                   settings.DerivativeOrder);
        },
        py::arg("text"), "\"MASK PEAK BEAT DERIV\" as evaluate --settings reads it.");
    module.def(
        "constants_name",
        [](const std::string &name) { return PythonText(qzkit::Combination{name, {}}.ConstantsName()); },
        py::arg("name"), "A constants set's name in the outputs: the base name without directories or extension.");
    module.def("evaluate_manifests", &EvaluateManifests, py::arg("manifests"), py::arg("constants"),
               py::arg("settings"), py::arg("annotations"), py::arg("beats"), py::arg("annotation_rate"),
               py::arg("jobs"), "qzkit evaluate over manifests: a dict of csv, summary, figures and times.");
    module.def("evaluate_windows", &EvaluateWindows, py::arg("records"), py::arg("constants"), py::arg("settings"),
               py::arg("jobs"),
               "The same over records of windows in memory: (name, windows, starts, rate, beat samples or None).");
    module.def("manifest_outcomes", &ManifestOutcomes, py::arg("manifest"), py::arg("constants"),
               py::arg("settings"), py::arg("annotations"), py::arg("beats"), py::arg("annotation_rate"),
               "One manifest's part of the per-window CSV and its windows' outcomes as bytes.");
    module.def("assemble_report", &AssembleReport, py::arg("manifests"), py::arg("constants"), py::arg("settings"),
               py::arg("annotations"), py::arg("beats"), py::arg("annotation_rate"), py::arg("outcomes"),
               py::arg("seconds"), py::arg("cpu_seconds"), py::arg("jobs"),
               "The report of every manifest from the outcomes manifest_outcomes gave for each.");
}
