// SPDX-License-Identifier: Apache-2.0
#include "stream/ArrivalRate.h"

#include <algorithm>
#include <cmath>

#include "io/TextFormat.h"

namespace qzkit {

void ArrivalRate::Note(double seconds, std::uint64_t samples)
{
    if (count_ == 0.0) {
        firstTime_ = seconds;
        firstSamples_ = samples;
    } else {
        longestGap_ = std::max(longestGap_, seconds - lastTime_);
    }
    lastTime_ = seconds;
    // Relative to the first note, so the sums keep their precision.
    const double t = seconds - firstTime_;
    const auto n = static_cast<double>(samples - firstSamples_);
    count_ += 1.0;
    sumTime_ += t;
    sumSamples_ += n;
    sumTimeTime_ += t * t;
    sumTimeSamples_ += t * n;
}

void ArrivalRate::Restart()
{
    *this = ArrivalRate();
}

std::optional<double> ArrivalRate::Measured() const
{
    const double span = lastTime_ - firstTime_;
    if (count_ < 3.0 || span < kShortestMeasurement || span < kSpanPerLongestGap * longestGap_) {
        return std::nullopt;
    }
    const double timeVariance = sumTimeTime_ - sumTime_ * sumTime_ / count_;
    const double covariance = sumTimeSamples_ - sumTime_ * sumSamples_ / count_;
    if (!(timeVariance > 0.0)) {
        return std::nullopt;
    }
    return covariance / timeVariance;
}

RateVerdict JudgeRate(double measured, double expected)
{
    RateVerdict verdict;
    verdict.measured = measured;
    verdict.expected = expected;
    verdict.deviation = measured / expected - 1.0;
    verdict.bpmFactor = expected / measured;
    verdict.outsideTolerance = !(std::fabs(verdict.deviation) <= kRateTolerance);
    return verdict;
}

std::string RateVerdict::Text() const
{
    std::string text = Format("sampling rate %.1f Hz, expected %g Hz (%+.1f %%)", measured, expected, 100.0 * deviation);
    if (outsideTolerance) {
        const double change = 100.0 * (bpmFactor - 1.0);
        text += Format(": heart rates read %.1f %% %s", std::fabs(change), change > 0.0 ? "high" : "low");
    }
    return text;
}

}  // namespace qzkit
