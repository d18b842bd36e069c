// SPDX-License-Identifier: Apache-2.0
#include "evaluate/RateAgreement.h"

#include <cmath>

#include "score/BeatMatch.h"

namespace qzkit {
namespace {

constexpr double kLimitsFactor = 1.96;  // two-sided 95 % of a normal distribution

}  // namespace

RateAgreement MeasureAgreement(const std::vector<RatePair> &pairs)
{
    RateAgreement agreement;
    agreement.windows = pairs.size();
    if (pairs.empty()) {
        return agreement;
    }
    double sum = 0.0;
    double absoluteSum = 0.0;
    double squareSum = 0.0;
    double percentSum = 0.0;
    for (const RatePair &pair : pairs) {
        const double difference = pair.reported - pair.reference;
        sum += difference;
        absoluteSum += std::abs(difference);
        squareSum += difference * difference;
        percentSum += 100.0 * std::abs(difference) / pair.reference;
        agreement.withinTolerance += RateAgrees(pair.reported, pair.reference) ? 1u : 0u;
    }
    const double n = static_cast<double>(pairs.size());
    agreement.bias = sum / n;
    double deviationSum = 0.0;
    for (const RatePair &pair : pairs) {
        const double deviation = pair.reported - pair.reference - agreement.bias;
        deviationSum += deviation * deviation;
    }
    agreement.sd = pairs.size() > 1 ? std::sqrt(deviationSum / (n - 1.0)) : 0.0;
    agreement.lowerLimit = agreement.bias - kLimitsFactor * agreement.sd;
    agreement.upperLimit = agreement.bias + kLimitsFactor * agreement.sd;
    agreement.meanAbsoluteError = absoluteSum / n;
    agreement.rmsError = std::sqrt(squareSum / n);
    agreement.meanAbsolutePercentError = percentSum / n;
    return agreement;
}

}  // namespace qzkit
