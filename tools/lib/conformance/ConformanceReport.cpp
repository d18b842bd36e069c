// SPDX-License-Identifier: Apache-2.0
#include "conformance/ConformanceReport.h"

#include <algorithm>
#include <cmath>

#include "io/AtomicFile.h"
#include "io/TextFormat.h"

namespace qzkit {
namespace {

const char *VerdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return "pass";
    case Verdict::Fail:
        return "fail";
    case Verdict::Disclosed:
        return "disclosed";
    }
    return "";
}

// Where a reading lies on a rate step: 0 at the first rate, 1 at the second.
std::optional<double> StepPosition(const BatteryRun &run)
{
    const WaveformRecipe &wave = run.testCase->wave;
    if (wave.stepBpm == 0.0 || run.estimate.qi >= kNoRateQi) {
        return std::nullopt;
    }
    return (run.estimate.bpm - wave.bpm) / (wave.stepBpm - wave.bpm);
}

std::string Optional(const char *format, std::optional<double> value)
{
    return value ? Format(format, *value) : "";
}

void Widen(std::optional<double> &low, std::optional<double> &high, double value)
{
    low = low ? std::min(*low, value) : value;
    high = high ? std::max(*high, value) : value;
}

void Add(CaseSummary &summary, const BatteryRun &run)
{
    ++summary.runs;
    summary.passes += run.verdict == Verdict::Pass ? 1u : 0u;
    if (run.verdict == Verdict::Fail || (run.verdict == Verdict::Disclosed && summary.verdict == Verdict::Pass)) {
        summary.verdict = run.verdict;
    }
    if (const std::optional<double> error = run.Error()) {
        summary.worstError = std::max(summary.worstError.value_or(0.0), std::abs(*error));
    }
    if (run.estimate.qi < kNoRateQi) {
        Widen(summary.lowestBpm, summary.highestBpm, run.estimate.bpm);
    }
    if (std::find(summary.expected.begin(), summary.expected.end(), run.expectedBpm) == summary.expected.end()) {
        summary.expected.push_back(run.expectedBpm);
    }
    summary.beats += run.beats;
    summary.worstClipped = std::max(summary.worstClipped, run.clippedFraction);
}

std::string ExpectedText(const CaseSummary &summary)
{
    const WaveformRecipe &wave = summary.testCase->wave;
    if (summary.testCase->expectation == Expectation::Disclosed) {
        return Format("%g", wave.bpm) + " to " + Format("%g", wave.stepBpm);
    }
    std::string text;
    for (const std::optional<double> &expected : summary.expected) {
        text += (text.empty() ? "" : " / ") + (expected ? Format("%.0f", *expected) : std::string("no rate"));
    }
    return text;
}

std::string ReportedText(const CaseSummary &summary)
{
    if (!summary.lowestBpm) {
        return "no rate";
    }
    return *summary.lowestBpm == *summary.highestBpm
               ? Format("%.0f", *summary.lowestBpm)
               : Format("%.0f", *summary.lowestBpm) + "-" + Format("%.0f", *summary.highestBpm);
}

std::string Share(std::size_t part, std::size_t whole)
{
    return whole == 0 ? "-" : Percent(static_cast<double>(part) / static_cast<double>(whole));
}

std::string PassText(const CaseSummary &summary)
{
    return summary.verdict == Verdict::Disclosed ? std::to_string(summary.runs) + " runs"
                                                 : std::to_string(summary.passes) + "/" + std::to_string(summary.runs);
}

std::string SummaryRow(const CaseSummary &summary)
{
    const BeatCounts &beats = summary.beats;
    const std::string verdict = summary.verdict == Verdict::Disclosed ? "disclosed"
                                : summary.verdict == Verdict::Pass    ? "pass"
                                                                      : "**FAIL**";
    return "| " + summary.testCase->family + " | " + summary.testCase->name + " | " + ExpectedText(summary) + " | " +
           ReportedText(summary) + " | " + PassText(summary) + " | " + Optional("%.0f", summary.worstError) + " | " +
           Share(beats.truePositives, beats.truePositives + beats.falseNegatives) + " | " +
           Share(beats.truePositives, beats.truePositives + beats.falsePositives) + " | " + verdict + " |\n";
}

}  // namespace

std::vector<CaseSummary> SummarizeCases(const std::vector<BatteryRun> &runs)
{
    std::vector<CaseSummary> summaries;
    for (const BatteryRun &run : runs) {
        if (summaries.empty() || summaries.back().testCase != run.testCase) {
            summaries.push_back({});
            summaries.back().testCase = run.testCase;
        }
        Add(summaries.back(), run);
    }
    return summaries;
}

bool AllGradedCasesPass(const std::vector<CaseSummary> &summaries)
{
    return std::none_of(summaries.begin(), summaries.end(),
                        [](const CaseSummary &summary) { return summary.verdict == Verdict::Fail; });
}

void WriteRunsCsv(const std::filesystem::path &path, const std::vector<BatteryRun> &runs)
{
    WriteFileAtomically(path, [&runs](std::ostream &stream) {
        stream << "family,case,parameters,seed,phase,length,expected_bpm,bpm,qi,beat_method,beats_true,beats_found,"
                  "beats_matched,clipped_percent,error_bpm,step_position,verdict\n";
        for (const BatteryRun &run : runs) {
            stream << run.testCase->family << ',' << CsvField(run.testCase->name) << ','
                   << CsvField(DescribeWave(run.testCase->wave)) << ',' << run.seed << ','
                   << Format("%.2f", run.phase) << ',' << run.length << ',' << Optional("%.2f", run.expectedBpm)
                   << ',' << run.estimate.bpm << ',' << run.estimate.qi << ','
                   << (run.estimate.classified ? 1 : 0) << ',' << run.trueBeats << ',' << run.foundBeats << ','
                   << run.beats.truePositives << ',' << Format("%.2f", 100.0 * run.clippedFraction) << ','
                   << Optional("%.2f", run.Error()) << ',' << Optional("%.2f", StepPosition(run)) << ','
                   << VerdictName(run.verdict) << '\n';
        }
    });
}

std::string SummaryMarkdown(const std::vector<CaseSummary> &summaries, double gainPerMillivolt)
{
    std::string text = "| Family | Case | Expected BPM | Reported BPM | Pass | Worst error | Se | +P | Verdict |\n"
                       "|---|---|---|---|---|---|---|---|---|\n";
    std::size_t graded = 0;
    std::size_t passed = 0;
    std::string clipping;
    for (const CaseSummary &summary : summaries) {
        text += SummaryRow(summary);
        graded += summary.verdict != Verdict::Disclosed ? 1u : 0u;
        passed += summary.verdict == Verdict::Pass ? 1u : 0u;
        if (summary.worstClipped > 0.0) {
            clipping += "- " + summary.testCase->family + " " + summary.testCase->name + ": up to " +
                        Percent(summary.worstClipped) + " of samples clipped\n";
        }
    }
    if (!clipping.empty()) {
        text += "\nClipping at " + Format("%g", gainPerMillivolt) + " counts per mV:\n" + clipping;
    }
    text += '\n' + std::to_string(passed) + " of " + std::to_string(graded) + " graded cases pass\n";
    return text;
}

}  // namespace qzkit
