// SPDX-License-Identifier: Apache-2.0
// What the low-pass and high-pass designs share: the search for a filter's
// half-power frequency, the response grid they compare filters on, and the
// check of the sampling rate. Internal to the constants design.
#ifndef QZKIT_DESIGN_SEARCH_H
#define QZKIT_DESIGN_SEARCH_H

#include <cstddef>
#include <numbers>

namespace qzkit::design {

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kHalfPower = 0.70710678118654752;
inline constexpr int kCrossingSteps = 4000;
inline constexpr int kBisections = 60;
inline constexpr std::size_t kResponseGridPoints = 256;

// Throws ToolkitError unless 0 < rate <= 65535 Hz.
void CheckRate(double rate);

// The first frequency from `from` towards `to` at which gain(f) falls below
// half power; `to` when it never does.
template <typename Gain>
inline double HalfPowerCrossing(Gain gain, double from, double to)
{
    const double step = (to - from) / kCrossingSteps;
    double previous = from;
    for (int i = 1; i <= kCrossingSteps; ++i) {
        const double current = from + step * i;
        if (gain(current) < kHalfPower) {
            double passing = previous;
            double failing = current;
            for (int round = 0; round < kBisections; ++round) {
                const double middle = 0.5 * (passing + failing);
                (gain(middle) < kHalfPower ? failing : passing) = middle;
            }
            return 0.5 * (passing + failing);
        }
        previous = current;
    }
    return to;
}

}  // namespace qzkit::design

#endif
