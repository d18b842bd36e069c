// The band-limited resampler: amplitude and phase of sinusoids, and beat
// timing through a rate change.
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

TEST(Resampler, BeatsKeepTheirTimes)
{
    // Narrow pulses (QRS-like, 12 ms wide) at times off both sampling grids.
    const double from = 360.0;
    const double to = 250.0;
    const std::vector<double> beats{1.0037, 1.8123, 2.6511, 3.4005, 4.2919};
    std::vector<double> input(static_cast<std::size_t>(5.5 * from), 0.0);
    for (std::size_t i = 0; i < input.size(); ++i) {
        for (const double beat : beats) {
            const double z = (static_cast<double>(i) / from - beat) / 0.012;
            input[i] += std::exp(-0.5 * z * z);
        }
    }
    const auto output = qzkit::Resample(input, from, to);
    for (const double beat : beats) {
        // Peak by parabolic interpolation around the largest sample near the beat.
        const auto centre = static_cast<std::size_t>(std::lround(beat * to));
        std::size_t top = centre;
        for (std::size_t k = centre - 3; k <= centre + 3; ++k) {
            if (output[k] > output[top]) top = k;
        }
        const double left = output[top - 1];
        const double middle = output[top];
        const double right = output[top + 1];
        const double offset = 0.5 * (left - right) / (left - 2.0 * middle + right);
        const double time = (static_cast<double>(top) + offset) / to;
        EXPECT_NEAR(time, beat, 0.0005) << "beat at " << beat;
        EXPECT_NEAR(middle, 1.0, 0.05);
    }
}

}  // namespace
