// SPDX-License-Identifier: Apache-2.0
// The battery's results as files and text: one CSV row per run, and a
// summary per case (runs, passes, worst error, Se and +P of the found beats)
// as a Markdown table.
#ifndef QZKIT_CONFORMANCE_REPORT_H
#define QZKIT_CONFORMANCE_REPORT_H

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "conformance/Battery.h"

namespace qzkit {

struct CaseSummary {
    const ConformanceCase *testCase = nullptr;
    std::size_t runs = 0;
    std::size_t passes = 0;
    std::optional<double> worstError;    // largest |reported - expected| of the readings
    std::optional<double> lowestBpm;     // of the readings (QI 0-2)
    std::optional<double> highestBpm;
    std::vector<std::optional<double>> expected;  // distinct expected rates, in run order
    BeatCounts beats;                    // pooled over the runs
    double worstClipped = 0.0;           // largest share of clipped samples
    Verdict verdict = Verdict::Pass;     // Fail when any run fails; Disclosed when not graded
};

// One summary per case, in the order of the runs.
std::vector<CaseSummary> SummarizeCases(const std::vector<BatteryRun> &runs);

// True when no graded case fails.
bool AllGradedCasesPass(const std::vector<CaseSummary> &summaries);

// Columns family,case,parameters,seed,phase,length,expected_bpm,bpm,qi,
// beat_method,beats_true,beats_found,beats_matched,clipped_percent,
// error_bpm,step_position,verdict; expected and error empty when no rate is
// expected. Written atomically.
void WriteRunsCsv(const std::filesystem::path &path, const std::vector<BatteryRun> &runs);

// The summary table in Markdown, the clipping notes and the closing verdict
// line "N of M graded cases pass".
std::string SummaryMarkdown(const std::vector<CaseSummary> &summaries, double gainPerMillivolt);

}  // namespace qzkit

#endif
