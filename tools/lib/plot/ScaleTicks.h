// SPDX-License-Identifier: Apache-2.0
// Where the ticks of a value axis go and how they read: a step of 1, 2 or 5
// times a power of ten, labels written to the step's precision, and whole
// numbers only on the axis of a count.
#ifndef QZKIT_SCALE_TICKS_H
#define QZKIT_SCALE_TICKS_H

#include <cstddef>
#include <string>
#include <vector>

namespace qzkit {

// The smallest step of 1, 2 or 5 times a power of ten that divides `span`
// into at most `steps` steps.
double NiceStep(double span, std::size_t steps);

struct ScaleTick {
    double value;
    std::string label;
};

// The multiples of NiceStep(high - low, steps) from `low` to `high`, at
// least 1 apart on the axis of a count (`count`).
std::vector<ScaleTick> ScaleTicks(double low, double high, std::size_t steps, bool count);

}  // namespace qzkit

#endif
