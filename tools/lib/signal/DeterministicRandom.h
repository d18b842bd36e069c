// SPDX-License-Identifier: Apache-2.0
// Random numbers that are the same on every platform, for synthetic signals.
#ifndef QZKIT_DETERMINISTIC_RANDOM_H
#define QZKIT_DETERMINISTIC_RANDOM_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

namespace qzkit {

// Random numbers from std::mt19937, whose output sequence is fixed by the
// standard; the distributions are computed here because the standard
// library's are not the same on every platform.
class DeterministicRandom {
public:
    explicit DeterministicRandom(std::uint32_t seed) : generator_(seed) {}

    // Uniform in (0, 1).
    double Uniform() { return (static_cast<double>(generator_()) + 0.5) / 4294967296.0; }

    // Standard normal (Box-Muller), limited to +-3.
    double Gaussian()
    {
        const double u1 = Uniform();
        const double u2 = Uniform();
        const double value = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
        return std::clamp(value, -3.0, 3.0);
    }

private:
    std::mt19937 generator_;
};

}  // namespace qzkit

#endif
