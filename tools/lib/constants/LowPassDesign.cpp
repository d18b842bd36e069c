// SPDX-License-Identifier: Apache-2.0
// The low-pass half of a constants design: nine symmetric taps from a
// triangle-windowed sinc, scaled to integers with a byte-sized postscale.
#include <algorithm>
#include <cmath>

#include "constants/ConstantsDesign.h"
#include "constants/DesignSearch.h"
#include "io/TextFormat.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

using namespace design;

constexpr std::size_t kTapCount = std::tuple_size_v<LowPassTaps>;  // c0..c4 of the nine symmetric taps
constexpr double kWindowHalfWidth = 5.0;      // triangle 1 - |n| / 5 over n = -4..4
constexpr double kHighestLowPassFraction = 0.3;
constexpr double kScalingDivisor = 450.0;
constexpr double kLargestPostscale = 255.0;
constexpr double kLargestTap = 127.0;

double Sinc(double x)
{
    return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
}

// Taps c0..c4 of the windowed sinc, unscaled.
ExactLowPassTaps WindowedSinc(double sincCutoff, double rate)
{
    ExactLowPassTaps taps{};
    for (std::size_t k = 0; k < kTapCount; ++k) {
        const double distance = static_cast<double>(kTapCount - 1 - k);
        taps[k] = Sinc(2.0 * sincCutoff / rate * distance) * (1.0 - distance / kWindowHalfWidth);
    }
    return taps;
}

double ExactLowPassCutoff(double sincCutoff, double rate)
{
    const ExactLowPassTaps taps = WindowedSinc(sincCutoff, rate);
    return HalfPowerCrossing([&](double f) { return std::fabs(LowPassRelativeGain(taps, f, rate)); }, 0.0, rate / 2.0);
}

// The sinc cut-off whose windowed taps are 3 dB down at `cutoff`.
double SincCutoffFor(double cutoff, double rate)
{
    double low = 0.0;
    double high = rate / 2.0;
    for (int round = 0; round < kBisections; ++round) {
        const double middle = 0.5 * (low + high);
        (ExactLowPassCutoff(middle, rate) < cutoff ? low : high) = middle;
    }
    return 0.5 * (low + high);
}

// Largest difference between two responses over 0..Nyquist (relative to
// 0 Hz).
double LowPassMismatch(const LowPassTaps &taps, const ExactLowPassTaps &exact, double rate)
{
    double worst = 0.0;
    for (std::size_t i = 0; i <= kResponseGridPoints; ++i) {
        const double frequency = rate / 2.0 * static_cast<double>(i) / kResponseGridPoints;
        const double difference =
            LowPassRelativeGain(taps, frequency, rate) - LowPassRelativeGain(exact, frequency, rate);
        worst = std::max(worst, std::fabs(difference));
    }
    return worst;
}

double ExactTapSum(const ExactLowPassTaps &taps)
{
    return 2.0 * (taps[0] + taps[1] + taps[2] + taps[3]) + taps[4];
}

// The integer taps and postscale for `swing`: the exact taps scaled to each
// tap sum from the largest that keeps the postscale (sum x 450 / swing) and
// every tap within a byte down to half of it, rounded, and the scaling whose
// response and cut-off follow the exact ones most closely kept.
LowPassTaps RoundedTaps(const ExactLowPassTaps &exact, double cutoff, double rate, double swing,
                        std::uint8_t &postscale)
{
    const double exactSum = ExactTapSum(exact);
    const double largestTap = *std::max_element(exact.begin(), exact.end());
    const int largestSum = static_cast<int>(
        std::min(kLargestPostscale * swing / kScalingDivisor, kLargestTap * exactSum / largestTap));
    LowPassTaps best{};
    double bestMismatch = HUGE_VAL;
    for (int sum = largestSum; sum >= largestSum / 2; --sum) {
        LowPassTaps taps{};
        for (std::size_t k = 0; k < kTapCount; ++k) {
            taps[k] = static_cast<int>(std::lround(exact[k] * sum / exactSum));
        }
        const double scaled = std::round(LowPassTapSum(taps) * kScalingDivisor / swing);
        if (scaled < 1.0 || scaled > kLargestPostscale) {
            continue;
        }
        const double mismatch =
            LowPassMismatch(taps, exact, rate) + std::fabs(LowPassCutoffOf(taps, rate) - cutoff) / cutoff;
        if (mismatch < bestMismatch) {
            bestMismatch = mismatch;
            best = taps;
            postscale = static_cast<std::uint8_t>(scaled);
        }
    }
    if (bestMismatch == HUGE_VAL) {
        throw ToolkitError("no integer taps fit a byte-sized postscale for this swing");
    }
    return best;
}

}  // namespace

double LowestLowPassCutoff(double rate)
{
    CheckRate(rate);
    return ExactLowPassCutoff(0.0, rate);
}

double HighestLowPassCutoff(double rate)
{
    CheckRate(rate);
    return kHighestLowPassFraction * rate;
}

LowPassTaps DesignLowPassTaps(double cutoff, double rate, double swing, std::uint8_t &postscale)
{
    const double lowest = LowestLowPassCutoff(rate);
    const double highest = HighestLowPassCutoff(rate);
    if (!(cutoff >= lowest - 1e-6 && cutoff <= highest)) {
        throw ToolkitError(Format("nine taps at %g Hz reach low-pass cut-offs from %.2f to %.2f Hz, not %g", rate,
                                  lowest, highest, cutoff));
    }
    if (!(swing >= kSmallestSwing && swing <= kLargestSwing)) {
        throw ToolkitError(Format("the swing must be %g to %g counts", kSmallestSwing, kLargestSwing));
    }
    return RoundedTaps(WindowedSinc(SincCutoffFor(cutoff, rate), rate), cutoff, rate, swing, postscale);
}

double LowPassCutoffOf(const LowPassTaps &taps, double rate)
{
    return HalfPowerCrossing([&](double f) { return std::fabs(LowPassRelativeGain(taps, f, rate)); }, 0.0, rate / 2.0);
}

}  // namespace qzkit
