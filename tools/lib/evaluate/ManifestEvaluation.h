// evaluate: the estimator over every window of a manifest, in-process,
// scored against reference beats.
#ifndef QZKIT_MANIFEST_EVALUATION_H
#define QZKIT_MANIFEST_EVALUATION_H

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "run/Estimator.h"
#include "evaluate/RateScores.h"

namespace qzkit {

struct EvaluateOptions {
    std::filesystem::path manifest;
    std::filesystem::path constants;  // file or base name (as for the tool)
    EstimatorSettings settings;
    std::filesystem::path annotations;  // WFDB annotation file, or
    double annotationRate = 0.0;
    std::filesystem::path beatTimes;    // CSV of beat times; with neither, the manifest's reference columns
    std::filesystem::path output;       // per-window CSV; none when empty
    std::filesystem::path summary;      // summary text; none when empty
};

struct EvaluateReport {
    std::vector<WindowResult> results;
    EvaluationSummary summary;
    double seconds = 0.0;     // wall-clock time spent in the estimator
    double cpuSeconds = 0.0;  // processor time spent in the estimator
    double windowsPerSecond = 0.0;
    std::optional<std::size_t> referenceBeats;  // beats in the reference file
    std::size_t beatsInWindows = 0;             // of those, the beats inside at least one window
    double constantsRate = 0.0;
};

// Reads the manifest, every window file and the reference, runs the
// estimator over each window and writes the per-window CSV and the summary
// (each atomically). ToolkitError for unreadable or inconsistent input (a
// missing or wrong-sized window file, windows at another rate than the
// constants, no reference), before any output is written.
EvaluateReport Evaluate(const EvaluateOptions &options);

std::string EvaluateReportText(const EvaluateReport &report);

}  // namespace qzkit

#endif
