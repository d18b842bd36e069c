// SPDX-License-Identifier: Apache-2.0
// The band-limited resampler: amplitude and phase of sinusoids through a rate
// change.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "signal/Resampler.h"
#include "ToolkitError.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::vector<double> Sine(double frequency, double rate, double seconds)
{
    std::vector<double> signal(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < signal.size(); ++i) {
        signal[i] = std::sin(kTwoPi * frequency * static_cast<double>(i) / rate);
    }
    return signal;
}

struct SineCase {
    double from;
    double to;
    double frequency;
};

class ResampledSine : public ::testing::TestWithParam<SineCase> {};

// Away from the ends, output sample k is the sine at time k / to.
TEST_P(ResampledSine, KeepsAmplitudeAndPhase)
{
    const SineCase c = GetParam();
    const double seconds = 10.0;
    const auto output = qzkit::Resample(Sine(c.frequency, c.from, seconds), c.from, c.to);
    EXPECT_NEAR(static_cast<double>(output.size()), seconds * c.to, 2.0);
    double worst = 0.0;
    for (std::size_t k = static_cast<std::size_t>(c.to); k + static_cast<std::size_t>(c.to) < output.size(); ++k) {
        const double expected = std::sin(kTwoPi * c.frequency * static_cast<double>(k) / c.to);
        worst = std::max(worst, std::abs(output[k] - expected));
    }
    EXPECT_LT(worst, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Rates, ResampledSine,
                         ::testing::Values(SineCase{360.0, 250.0, 5.0}, SineCase{360.0, 250.0, 40.0},
                                           SineCase{500.0, 250.0, 17.0}, SineCase{128.0, 250.0, 10.0},
                                           SineCase{1000.0, 100.0, 3.0}));

}  // namespace
