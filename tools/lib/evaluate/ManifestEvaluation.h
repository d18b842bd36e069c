// SPDX-License-Identifier: Apache-2.0
// evaluate: the estimator over every window of one or more manifests (one
// per recording), in-process, for every combination of constants and
// settings, scored against reference beats.
#ifndef QZKIT_MANIFEST_EVALUATION_H
#define QZKIT_MANIFEST_EVALUATION_H

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "constants/ConstantsImage.h"
#include "evaluate/RateScores.h"

namespace qzkit {

inline constexpr std::size_t kDefaultWorstWindows = 12;
// Each picture adds about 0.8 MB to the page; more than this many make a page
// no browser shows well.
inline constexpr std::size_t kMostWorstWindows = 100;

struct EvaluateOptions {
    std::vector<std::filesystem::path> manifests;  // one per recording
    std::vector<std::filesystem::path> constants;  // files or base names (as for the tool)
    std::vector<qz::run_settings_struct> settings;       // none: the tool's defaults
    std::vector<std::filesystem::path> annotations;  // WFDB annotation files, one per manifest, or
    double annotationRate = 0.0;
    std::vector<std::filesystem::path> beatTimes;  // CSVs of beat times, one per manifest; with neither,
                                                   // the manifests' reference columns (no beat-by-beat scores)
    std::filesystem::path output;   // per-window CSV; none when empty
    std::filesystem::path summary;  // summary text; none when empty
    std::filesystem::path report;   // HTML report; none when empty
    std::size_t worst = kDefaultWorstWindows;  // windows pictured in the report
    std::size_t jobs = 1;  // worker processes running the windows
};

// One set of constants with one set of settings.
struct Combination {
    std::filesystem::path constants;
    qz::run_settings_struct settings;

    std::string ConstantsName() const;  // base name without directories or extension
    std::string SettingsText() const;   // "MASK PEAK BEAT DERIV"
    std::string Label() const;          // both
};

struct CombinationResult {
    Combination combination;
    std::vector<WindowResult> results;  // in manifest order, recordings one after the other
    EvaluationSummary summary;          // pooled over every window (gross)
    std::vector<EvaluationSummary> byRecord;
    double cpuSeconds = 0.0;  // processor time of RunCombination (Evaluate times all combinations at once)

    // Mean of the records' Se and +P (average), over the records that have
    // the score; none when no record has.
    std::optional<double> AverageSensitivity() const;
    std::optional<double> AveragePositivePredictivity() const;
};

struct EvaluateReport {
    std::vector<std::string> records;  // manifest base names
    std::vector<std::string> references;  // the reference of each record
    std::vector<CombinationResult> combinations;
    std::size_t windows = 0;  // per combination
    std::size_t jobs = 1;     // processes that ran the windows
    double seconds = 0.0;     // wall-clock time of every combination
    double cpuSeconds = 0.0;  // processor time of every combination, the workers' included
    double windowsPerSecond = 0.0;      // windows of every combination per processor second
    double windowsPerWallSecond = 0.0;  // and per second of wall-clock time
    std::size_t referenceBeats = 0;  // beats in the reference files
    std::size_t beatsInWindows = 0;  // of those, the beats inside at least one window
};

// One manifest with its windows and their references.
struct RecordInput {
    std::string name;       // in the outputs: the manifest's base name
    std::string reference;  // where the reference comes from, for the summary
    std::vector<ManifestEntry> entries;
    std::vector<std::filesystem::path> paths;
    std::vector<std::vector<std::uint16_t>> windows;
    std::vector<WindowReference> references;
    std::optional<ReferenceBeats> beats;
};

// Every manifest of `options` with its windows and references; without the
// windows' samples when `withSamples` is false (to assemble a report from
// outcomes run elsewhere). ToolkitError for unreadable or inconsistent input.
std::vector<RecordInput> ReadRecords(const EvaluateOptions &options, bool withSamples = true);

// ToolkitError when a window is sampled at another rate than `constants`
// (named `name` in the message) are made for.
void CheckRates(const std::vector<RecordInput> &records, const ConstantsImage &constants,
                const std::filesystem::path &name);

// ToolkitError, naming `what`, when a sample of a window lies above the
// 10-bit range (evaluate scores the windows convert writes).
void CheckTenBitWindow(std::span<const std::uint16_t> samples, const std::string &what);

// What the estimator and the scoring give for one window; fixed in size, so
// that worker processes and cluster tasks send it as bytes.
struct WindowOutcome {
    ResultRecord estimate;
    std::optional<WindowBeatScore> beats;  // none without reference beat times
};
static_assert(std::is_trivially_copyable_v<WindowOutcome>);

// Runs window `window` of `record` with `constants` and `settings` and
// scores it. ToolkitError naming the window's file when the run fails.
WindowOutcome RunWindow(const ConstantsImage &constants, const qz::run_settings_struct &settings,
                        const RecordInput &record, std::size_t window);

// The report of `records` for `combinations`: the records' names, references
// and beat counts, and one combination without results yet for each.
EvaluateReport StartReport(const std::vector<RecordInput> &records, const std::vector<Combination> &combinations);

// Fills `run` with the results of the outcomes of its windows (the records'
// windows one after the other) and summarises them, pooled and by record.
void FinishCombination(CombinationResult &run, const std::vector<RecordInput> &records,
                       std::span<const WindowOutcome> outcomes);

// Sets the report's times, the processes that ran it and the rates.
void SetSpeed(EvaluateReport &report, double seconds, double cpuSeconds, std::size_t jobs);

// Runs `run.combination` with `constants` over every window in this process
// and fills the rest of `run`.
void RunCombination(CombinationResult &run, const ConstantsImage &constants, const std::vector<RecordInput> &records);

// Runs every combination of `report` (with `images`, one per combination)
// over every window on `jobs` worker processes, fills each combination and
// times the whole. The results do not depend on `jobs`.
void RunCombinations(EvaluateReport &report, const std::vector<ConstantsImage> &images,
                     const std::vector<RecordInput> &records, std::size_t jobs);

// Reads the manifests, every window file and the references, runs every
// combination over each window (on `options.jobs` processes) and writes the
// per-window CSV, the summary and the report (each atomically). ToolkitError for unreadable or
// inconsistent input (a missing or wrong-sized window file, windows at
// another rate than the constants, no reference), before any output is
// written.
EvaluateReport Evaluate(const EvaluateOptions &options);

}  // namespace qzkit

#endif
