// SPDX-License-Identifier: Apache-2.0
#include "score/BeatMatch.h"

#include <algorithm>
#include <cmath>

#include "io/TextFormat.h"

namespace qzkit {
namespace {

std::optional<double> Ratio(std::size_t part, std::size_t whole)
{
    if (whole == 0) {
        return std::nullopt;
    }
    return static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

std::string ToleranceBpmText()
{
    return Format("%g BPM", kToleranceBpm);
}

std::string ToleranceFractionText()
{
    return Format("%g %%", 100.0 * kToleranceFraction);
}

std::string MatchToleranceText()
{
    return Format("%.0f ms", 1000.0 * kBeatMatchToleranceSeconds);
}

std::string RateToleranceText()
{
    return "max(" + ToleranceBpmText() + ", " + ToleranceFractionText() + ")";
}

std::string AnswerQiText()
{
    return "QI 0-" + std::to_string(kNoRateQi - 1);
}

std::optional<double> BeatCounts::Sensitivity() const
{
    return Ratio(truePositives, truePositives + falseNegatives);
}

std::optional<double> BeatCounts::PositivePredictivity() const
{
    return Ratio(truePositives, truePositives + falsePositives);
}

BeatCounts &BeatCounts::operator+=(const BeatCounts &other)
{
    truePositives += other.truePositives;
    falseNegatives += other.falseNegatives;
    falsePositives += other.falsePositives;
    return *this;
}

BeatCounts MatchBeats(const std::vector<double> &found, const std::vector<double> &reference,
                      const CountedSpan &counted)
{
    BeatCounts counts;
    const auto extra = [&](std::size_t f) { counts.falsePositives += counted.Holds(found[f]) ? 1u : 0u; };
    const auto miss = [&](std::size_t r) { counts.falseNegatives += counted.Holds(reference[r]) ? 1u : 0u; };
    std::size_t f = 0;
    std::size_t r = 0;
    while (f < found.size() && r < reference.size()) {
        if (std::abs(found[f] - reference[r]) <= kBeatMatchToleranceSeconds) {
            ++counts.truePositives;
            ++f;
            ++r;
        } else if (found[f] < reference[r]) {
            extra(f++);
        } else {
            miss(r++);
        }
    }
    while (f < found.size()) {
        extra(f++);
    }
    while (r < reference.size()) {
        miss(r++);
    }
    return counts;
}

double RateTolerance(double referenceBpm)
{
    return std::max(kToleranceBpm, kToleranceFraction * std::abs(referenceBpm));
}

bool RateAgrees(double reportedBpm, double referenceBpm)
{
    return std::abs(reportedBpm - referenceBpm) <= RateTolerance(referenceBpm);
}

}  // namespace qzkit
