// SPDX-License-Identifier: Apache-2.0
#include "run/StageDelays.h"

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

namespace qzkit {

std::size_t DerivativeDelay(std::uint16_t derivativeOrder)
{
    return qz::QZ_DerivativeOrder(derivativeOrder) == QZ_DERIVATIVE_FIVE_POINT ? kFivePointDerivativeDelay : 0u;
}

std::size_t PeakDelay(std::uint16_t stageMask, std::uint16_t derivativeOrder)
{
    std::size_t delay = 0;
    if ((stageMask & QZ_STAGE_LOWPASS) != 0u) {
        delay += kLowPassDelay;
    }
    if ((stageMask & QZ_STAGE_DERIVATIVE) != 0u) {
        delay += DerivativeDelay(derivativeOrder);
    }
    if ((stageMask & QZ_STAGE_AVERAGE) != 0u) {
        delay += kMovingAverageDelay;
    }
    return delay;
}

std::optional<std::size_t> BeatSample(std::uint16_t peakLocation, std::size_t peakDelay)
{
    if (peakLocation == 0u || peakLocation - 1u < peakDelay) {
        return std::nullopt;
    }
    return peakLocation - 1u - peakDelay;
}

}  // namespace qzkit
