// SPDX-License-Identifier: Apache-2.0
// Agreement between reported and reference rates, as method-comparison
// studies state it: bias, spread, 95 % limits and the usual error figures.
#ifndef QZKIT_RATE_AGREEMENT_H
#define QZKIT_RATE_AGREEMENT_H

#include <cstddef>
#include <vector>

namespace qzkit {

struct RatePair {
    double reported = 0.0;
    double reference = 0.0;
};

struct RateAgreement {
    std::size_t windows = 0;
    double bias = 0.0;                // mean of reported - reference
    double sd = 0.0;                  // sample standard deviation of the differences
    double lowerLimit = 0.0;          // bias - 1.96 SD
    double upperLimit = 0.0;          // bias + 1.96 SD
    double meanAbsoluteError = 0.0;
    double rmsError = 0.0;
    double meanAbsolutePercentError = 0.0;  // percent of the reference
    std::size_t withinTolerance = 0;        // RateAgrees
};

// All zero for no pairs; SD 0 for one.
RateAgreement MeasureAgreement(const std::vector<RatePair> &pairs);

}  // namespace qzkit

#endif
