// SPDX-License-Identifier: Apache-2.0
#include "plot/ScaleTicks.h"

#include <algorithm>
#include <cmath>

#include "io/TextFormat.h"

namespace qzkit {

double NiceStep(double span, std::size_t steps)
{
    const double raw = span / static_cast<double>(std::max<std::size_t>(steps, 1));
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * magnitude >= raw) {
            return factor * magnitude;
        }
    }
    return 10.0 * magnitude;
}

std::vector<ScaleTick> ScaleTicks(double low, double high, std::size_t steps, bool count)
{
    if (!(high > low)) {
        return {};
    }
    const double step = count ? std::max(1.0, NiceStep(high - low, steps)) : NiceStep(high - low, steps);
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step))));
    std::vector<ScaleTick> ticks;
    // k counts in whole numbers (exact in a double), from a start an integer may not hold.
    for (double k = std::ceil(low / step); k * step <= high; ++k) {  // NOLINT(cert-flp30-c)
        const double value = k * step;
        ticks.push_back({value, Format("%.*f", decimals, value == 0.0 ? 0.0 : value)});
    }
    return ticks;
}

}  // namespace qzkit
