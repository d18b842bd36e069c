// SPDX-License-Identifier: Apache-2.0
// The evaluation's figures as one table, a column per combination of
// constants and settings; as text, and the per-window CSV.
#ifndef QZKIT_SUMMARY_TABLE_H
#define QZKIT_SUMMARY_TABLE_H

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "evaluate/ManifestEvaluation.h"
#include "io/AtomicFile.h"

namespace qzkit {

struct SummaryRow {
    std::string label;
    std::vector<std::string> cells;  // one per combination
};

// Every figure of the summary: coverage and accuracy, rate agreement over
// the answers and over QI 0, coverage by QI cut-off, beat-by-beat scores.
std::vector<SummaryRow> SummaryRows(const EvaluateReport &report);

// The QI x error table of one combination: QI, windows, within +-5 BPM,
// share %, within +-10 % share, MAE.
std::vector<std::vector<std::string>> QiTable(const EvaluationSummary &summary);

// The references, the summary table, each combination's QI table and the speed.
std::string SummaryText(const EvaluateReport &report);

// "speed: N windows per second of wall-clock time, M per second of processor
// time (...)": the rates, the counts and the times they come from.
std::string SpeedText(const EvaluateReport &report);

// The per-window CSV: columns file,start_sample,start_time_s,reference_beats,reference_bpm,bpm,
// qi,error_bpm,peaks,beat_method,record,constants,settings,beat_tp,beat_fn,
// beat_fp,peaks_truncated; one row per window and combination; unknown
// values empty. Written atomically.
ContentWriter PerWindowCsv(const EvaluateReport &report);
void WritePerWindowCsv(const std::filesystem::path &path, const EvaluateReport &report);

// What a beat score shows when there were no beats to score it on.
inline constexpr const char *kNotScored = "not scored";

// A beat score as "98.5 %", or kNotScored.
std::string ScorePercent(std::optional<double> ratio);

// "part of whole (share %)".
std::string CountShare(std::size_t part, std::size_t whole);

}  // namespace qzkit

#endif
