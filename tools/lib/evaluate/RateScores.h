// Scoring estimates against reference rates: the per-window table and the
// summary figures.
#ifndef QZKIT_RATE_SCORES_H
#define QZKIT_RATE_SCORES_H

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "evaluate/BeatMatch.h"
#include "run/Estimator.h"
#include "io/Manifest.h"
#include "io/ReferenceBeats.h"

namespace qzkit {

inline constexpr std::uint16_t kBadQi = 3;

struct WindowResult {
    ManifestEntry window;
    WindowReference reference;
    Estimate estimate;

    std::optional<double> Error() const;  // estimate - reference, when there is a reference
    bool WithinBpm() const;               // |error| <= 5 BPM
    bool WithinFraction() const;          // |error| <= 10 % of the reference
};

struct QiRow {
    std::size_t windows = 0;
    std::size_t withinBpm = 0;
    std::size_t withinFraction = 0;
    double absoluteErrorSum = 0.0;
};

// Over the windows that have a reference rate. An answer is an estimate with
// QI below 3; a wrong estimate is one more than 5 BPM off, whatever its QI.
struct EvaluationSummary {
    std::size_t windows = 0;
    std::size_t withReference = 0;
    std::size_t answered = 0;
    std::size_t withinBpm = 0;       // answers within +-5 BPM
    std::size_t withinFraction = 0;  // answers within +-10 %
    double absoluteErrorSum = 0.0;   // over answers
    std::map<std::uint16_t, QiRow> byQi;
    std::size_t wrong = 0;
    std::size_t wrongFlagged = 0;  // wrong estimates that carry QI 3

    double Coverage() const { return Ratio(answered, withReference); }
    double MeanAbsoluteError() const { return answered == 0 ? 0.0 : absoluteErrorSum / static_cast<double>(answered); }
    static double Ratio(std::size_t part, std::size_t whole)
    {
        return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
    }
};

EvaluationSummary Summarize(const std::vector<WindowResult> &results);

// The summary as text lines: coverage, accuracy, mean absolute error, the QI
// table and the wrong answers QI 3 flags.
std::string SummaryText(const EvaluationSummary &summary);

// Columns file,start_sample,start_time_s,reference_beats,reference_bpm,bpm,
// qi,error_bpm,peaks,beat_method; reference and error empty when unknown.
// Written atomically.
void WritePerWindowCsv(const std::filesystem::path &path, const std::vector<WindowResult> &results);

}  // namespace qzkit

#endif
