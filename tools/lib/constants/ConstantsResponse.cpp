// SPDX-License-Identifier: Apache-2.0
#include "constants/ConstantsResponse.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr float kScalingDivisor = 450.0f;
constexpr std::size_t kCentreDelay = 4;  // the centre tap c4 sits four samples back
// A stable filter's response counts as over once its state is this small
// relative to its peak; the cap stops the walk for poles on the unit circle.
constexpr double kSettledFraction = 1e-12;
constexpr std::size_t kMaxResponseSamples = 10'000'000;

// Evaluates the high-pass on an input sequence given sample by sample, in
// double precision, with the history of the stage: earlier inputs equal the
// first one, earlier outputs are 0.
class HighPassSimulation {
public:
    explicit HighPassSimulation(const HighPassCoefficients &filter) : filter_(filter) {}

    double Step(double input)
    {
        if (!started_) {
            inputs_.fill(input);
            started_ = true;
        }
        const double numerator = static_cast<double>(filter_.b0) * (input - inputs_[2]) -
                                 static_cast<double>(filter_.b1) * (inputs_[0] - inputs_[1]);
        const double output = numerator - filter_.a[0] * outputs_[0] - filter_.a[1] * outputs_[1] -
                              filter_.a[2] * outputs_[2];
        inputs_ = {input, inputs_[0], inputs_[1]};
        outputs_ = {output, outputs_[0], outputs_[1]};
        return output;
    }

    // True once the input has been constant for three samples and the
    // remembered outputs have died away.
    bool Settled(double peak) const
    {
        const double largest =
            std::max({std::fabs(outputs_[0]), std::fabs(outputs_[1]), std::fabs(outputs_[2])});
        return inputs_[0] == inputs_[1] && inputs_[1] == inputs_[2] && largest <= kSettledFraction * peak;
    }

private:
    HighPassCoefficients filter_;
    std::array<double, 3> inputs_{};   // x[n-1], x[n-2], x[n-3]
    std::array<double, 3> outputs_{};  // y[n-1], y[n-2], y[n-3]
    bool started_ = false;
};

// Runs the filter on input(n), n = 0, 1, ..., reporting each output to
// `visit`, until the response has died away. input(n) must be constant from
// n = 2 on.
template <typename Input, typename Visit>
void WalkResponse(const HighPassCoefficients &filter, Input input, Visit visit)
{
    if (!HighPassStable(filter)) {
        throw ToolkitError("the high-pass is unstable; its output range is unbounded");
    }
    HighPassSimulation simulation(filter);
    double peak = 0.0;
    for (std::size_t n = 0; n < kMaxResponseSamples; ++n) {
        const double output = simulation.Step(input(n));
        visit(output);
        peak = std::max(peak, std::fabs(output));
        if (n > 0 && simulation.Settled(peak)) {
            return;
        }
    }
}

}  // namespace

int LowPassTapSum(const LowPassTaps &taps)
{
    return 2 * (taps[0] + taps[1] + taps[2] + taps[3]) + taps[4];
}

double LowPassRelativeGain(const ExactLowPassTaps &taps, double frequency, double rate)
{
    double gain = taps[kCentreDelay];
    double sum = taps[kCentreDelay];
    for (std::size_t k = 0; k < kCentreDelay; ++k) {
        const double distance = static_cast<double>(kCentreDelay - k);
        gain += 2.0 * taps[k] * std::cos(kTwoPi * frequency / rate * distance);
        sum += 2.0 * taps[k];
    }
    return gain / sum;
}

double LowPassRelativeGain(const LowPassTaps &taps, double frequency, double rate)
{
    if (LowPassTapSum(taps) == 0) {
        throw ToolkitError("the low-pass taps sum to 0: it has no gain at 0 Hz to compare with");
    }
    ExactLowPassTaps exact{};
    std::copy(taps.begin(), taps.end(), exact.begin());
    return LowPassRelativeGain(exact, frequency, rate);
}

unsigned LowPassScaling(std::uint8_t postscale, std::uint16_t amplitude)
{
    // Single precision, as the stage computes it.
    const float scaling = static_cast<float>(postscale) / kScalingDivisor * static_cast<float>(amplitude);
    const auto truncated = static_cast<unsigned>(scaling);
    return std::max(truncated, 1u);
}

double LowPassSwing(const LowPassTaps &taps, std::uint8_t postscale, std::uint16_t amplitude)
{
    return static_cast<double>(LowPassTapSum(taps)) * amplitude / LowPassScaling(postscale, amplitude);
}

std::complex<double> HighPassResponse(const HighPassCoefficients &filter, double frequency, double rate)
{
    const std::complex<double> delay = std::polar(1.0, -kTwoPi * frequency / rate);  // z^-1
    const double b0 = filter.b0;
    const double b1 = filter.b1;
    const std::complex<double> numerator = b0 + delay * (-b1 + delay * (b1 - delay * b0));
    const std::complex<double> denominator =
        1.0 + delay * (filter.a[0] + delay * (filter.a[1] + delay * filter.a[2]));
    return numerator / denominator;
}

std::array<std::complex<double>, 3> HighPassPoles(const HighPassCoefficients &filter)
{
    // Durand-Kerner iteration on the monic cubic; converges for any
    // coefficients, and three roots need only a few dozen rounds.
    const auto cubic = [&filter](std::complex<double> z) {
        return ((z + filter.a[0]) * z + filter.a[1]) * z + filter.a[2];
    };
    const std::complex<double> seed(0.4, 0.9);
    std::array<std::complex<double>, 3> roots{1.0, seed, seed * seed};
    for (int round = 0; round < 500; ++round) {
        for (std::size_t i = 0; i < roots.size(); ++i) {
            std::complex<double> others = 1.0;
            for (std::size_t j = 0; j < roots.size(); ++j) {
                if (j != i) {
                    others *= roots[i] - roots[j];
                }
            }
            if (std::abs(others) > 0.0) {
                roots[i] -= cubic(roots[i]) / others;
            }
        }
    }
    return roots;
}

bool HighPassStable(const HighPassCoefficients &filter)
{
    const double a1 = filter.a[0];
    const double a2 = filter.a[1];
    const double a3 = filter.a[2];
    if (!std::isfinite(a1) || !std::isfinite(a2) || !std::isfinite(a3)) {
        return false;
    }
    // Jury's conditions for z^3 + a1 z^2 + a2 z + a3.
    return 1.0 + a1 + a2 + a3 > 0.0 && 1.0 - a1 + a2 - a3 > 0.0 && std::fabs(a3) < 1.0 &&
           1.0 - a3 * a3 > std::fabs(a3 * a1 - a2);
}

HighPassRange HighPassOutputRange(const HighPassCoefficients &filter, double swing)
{
    HighPassRange range{0.0, 0.0, 0.0};
    WalkResponse(filter, [swing](std::size_t n) { return n == 0 ? 0.0 : swing; }, [&range](double output) {
        range.stepLowest = std::min(range.stepLowest, output);
        range.stepHighest = std::max(range.stepHighest, output);
    });
    double absoluteSum = 0.0;
    // An impulse after a zero history.
    WalkResponse(filter, [](std::size_t n) { return n == 1 ? 1.0 : 0.0; },
                 [&absoluteSum](double output) { absoluteSum += std::fabs(output); });
    range.bound = absoluteSum * swing;
    return range;
}

HighPassCoefficients HighPassOf(const qz::sampling_frequency_struct &record)
{
    HighPassCoefficients filter;
    for (std::size_t i = 0; i < filter.a.size(); ++i) {
        filter.a[i] = static_cast<double>(record.HPFConstantsA[i]);
    }
    filter.b0 = record.HPFConstantsB[0];
    filter.b1 = record.HPFConstantsB[1];
    return filter;
}

LowPassTaps TapsOf(const qz::sampling_frequency_struct &record)
{
    LowPassTaps taps{};
    for (std::size_t i = 0; i < taps.size(); ++i) {
        taps[i] = record.LPFConstants[i];  // NOLINT(bugprone-signed-char-misuse,cert-str34-c): a signed tap, not a character
    }
    return taps;
}

}  // namespace qzkit
