// SPDX-License-Identifier: Apache-2.0
#include "evaluate/RateScores.h"

#include <cmath>

namespace qzkit {

std::optional<double> WindowResult::Error() const
{
    if (!reference.bpm) {
        return std::nullopt;
    }
    return static_cast<double>(estimate.bpm) - *reference.bpm;
}

bool WindowResult::WithinBpm() const
{
    const std::optional<double> error = Error();
    return error && std::abs(*error) <= kToleranceBpm;
}

bool WindowResult::WithinFraction() const
{
    const std::optional<double> error = Error();
    return error && std::abs(*error) <= kToleranceFraction * *reference.bpm;
}

QiRow EvaluationSummary::UpTo(std::uint16_t maxQi) const
{
    QiRow total;
    for (const auto &[qi, row] : byQi) {
        if (qi <= maxQi) {
            total.windows += row.windows;
            total.withinBpm += row.withinBpm;
            total.withinFraction += row.withinFraction;
            total.absoluteErrorSum += row.absoluteErrorSum;
        }
    }
    return total;
}

namespace {

void CountBeats(EvaluationSummary &summary, const WindowResult &result)
{
    if (!result.beats) {
        return;
    }
    ++summary.beatScoredWindows;
    summary.beats += result.beats->counts;
    summary.truncatedWindows += result.beats->truncated ? 1u : 0u;
}

}  // namespace

EvaluationSummary Summarize(std::span<const WindowResult> results)
{
    EvaluationSummary summary;
    summary.windows = results.size();
    std::vector<RatePair> answers;
    std::vector<RatePair> qi0Answers;
    for (const WindowResult &result : results) {
        CountBeats(summary, result);
        const std::optional<double> error = result.Error();
        if (!error) {
            continue;
        }
        ++summary.withReference;
        QiRow &row = summary.byQi[result.estimate.qi];
        ++row.windows;
        row.withinBpm += result.WithinBpm() ? 1u : 0u;
        row.withinFraction += result.WithinFraction() ? 1u : 0u;
        row.absoluteErrorSum += std::abs(*error);
        const RatePair pair{static_cast<double>(result.estimate.bpm), *result.reference.bpm};
        if (result.Answered()) {
            ++summary.answered;
            summary.withinBpm += result.WithinBpm() ? 1u : 0u;
            summary.withinFraction += result.WithinFraction() ? 1u : 0u;
            answers.push_back(pair);
        }
        if (result.estimate.qi == 0u) {
            qi0Answers.push_back(pair);
        }
        if (!result.WithinBpm()) {
            ++summary.wrong;
            summary.wrongFlagged += result.estimate.qi == kNoRateQi ? 1u : 0u;
        }
    }
    summary.agreement = MeasureAgreement(answers);
    summary.agreementQi0 = MeasureAgreement(qi0Answers);
    return summary;
}

}  // namespace qzkit
