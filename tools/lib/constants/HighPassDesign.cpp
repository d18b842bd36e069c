// SPDX-License-Identifier: Apache-2.0
// The high-pass half of a constants design: a third-order Butterworth or a
// first-order filter by the bilinear transform, its feedback rounded to
// 3-byte floats that keep it stable and close to the exact filter.
#include <algorithm>
#include <cmath>
#include <complex>

#include "constants/ConstantsDesign.h"
#include "constants/DesignSearch.h"
#include "io/TextFormat.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

using namespace design;

constexpr double kHighestHighPassFraction = 0.25;
constexpr double kLargestHighPassErrorDb = 1.0;  // rounded feedback against the exact filter
constexpr unsigned kMantissaBits = 15;

// The 3-byte float `steps` units of the last mantissa place away from `value`.
Float24 NeighbourFloat24(double value, int steps)
{
    const double place = std::ldexp(1.0, std::ilogb(value) - static_cast<int>(kMantissaBits));
    return EncodeFloat24(value + steps * place);
}

std::array<double, 3> ButterworthFeedback(double cutoff, double rate)
{
    // Pre-warped analogue cut-off over twice the rate; prototype poles at
    // angles 120, 180 and 240 degrees map to the high-pass poles W / p.
    const double warped = std::tan(kPi * cutoff / rate);
    std::array<std::complex<double>, 3> poles{};
    for (std::size_t k = 0; k < poles.size(); ++k) {
        const std::complex<double> prototype = std::polar(1.0, kPi * (2.0 + static_cast<double>(k)) / 3.0);
        const std::complex<double> analogue = warped / prototype;
        poles[k] = (1.0 + analogue) / (1.0 - analogue);
    }
    const std::complex<double> sum = poles[0] + poles[1] + poles[2];
    const std::complex<double> pairs = poles[0] * poles[1] + poles[0] * poles[2] + poles[1] * poles[2];
    const std::complex<double> product = poles[0] * poles[1] * poles[2];
    return {-sum.real(), pairs.real(), -product.real()};
}

// The largest gain of the high-pass below a quarter of the rate, and where it
// is: the first-order filter's (1 + z^-2) factor has its zero there, and the
// third-order filter is flat long before it.
struct PassBand {
    double gain;
    double frequency;
};

PassBand HighPassPassBand(const HighPassCoefficients &filter, double rate)
{
    PassBand best{0.0, rate / 4.0};
    for (int i = kCrossingSteps; i >= 1; --i) {
        const double frequency = rate / 4.0 * i / kCrossingSteps;
        const double gain = std::abs(HighPassResponse(filter, frequency, rate));
        if (gain > best.gain) {
            best = {gain, frequency};
        }
    }
    return best;
}

double HighPassMismatchDb(const HighPassCoefficients &stored, const HighPassCoefficients &exact, double cutoff,
                          double rate)
{
    // Log-spaced from an eighth of the cut-off to just below Nyquist.
    const double lowest = cutoff / 8.0;
    const double highest = rate / 2.0 * 0.999;
    double worst = 0.0;
    for (std::size_t i = 0; i <= kResponseGridPoints; ++i) {
        const double frequency = lowest * std::pow(highest / lowest, static_cast<double>(i) / kResponseGridPoints);
        const double ratio = std::abs(HighPassResponse(stored, frequency, rate)) /
                             std::abs(HighPassResponse(exact, frequency, rate));
        worst = std::max(worst, std::fabs(20.0 * std::log10(ratio)));
    }
    return worst;
}

// The coefficients the stage computes with: the stored feedback and the
// numerator of `shape`.
HighPassCoefficients StoredHighPass(const std::array<Float24, 3> &stored, const HighPassCoefficients &shape)
{
    HighPassCoefficients coefficients = shape;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        coefficients.a[i] = static_cast<double>(DecodeFloat24(stored[i]));
    }
    return coefficients;
}

// (1 - z^-1)(1 + z^-2) / (1 - p z^-1): the bilinear transform's first-order
// high-pass with pole p, times a (1 + z^-2) that gives it a gain of 2 up to a
// few tens of hertz and a zero at a quarter of the rate. The two unused
// feedback coefficients hold the smallest 3-byte value, 2^-127.
HighPassDesign FirstOrderHighPass(double cutoff, double rate)
{
    const double warped = std::tan(kPi * cutoff / rate);
    const double pole = (1.0 - warped) / (1.0 + warped);
    HighPassDesign design;
    design.exact = {-pole, 0.0, 0.0};
    HighPassCoefficients exact;
    exact.a = design.exact;
    exact.b1 = 1;
    design.stored = {EncodeFloat24(-pole), EncodeFloat24(0.0), EncodeFloat24(0.0)};
    design.coefficients = StoredHighPass(design.stored, exact);
    design.worstErrorDb = HighPassMismatchDb(design.coefficients, exact, cutoff, rate);
    return design;
}

}  // namespace

double HighestHighPassCutoff(double rate)
{
    CheckRate(rate);
    return kHighestHighPassFraction * rate;
}

HighPassDesign DesignHighPass(double cutoff, double rate, int order)
{
    const double highest = HighestHighPassCutoff(rate);
    if (!(cutoff > 0.0 && cutoff <= highest)) {
        throw ToolkitError(Format("the high-pass cut-off must be above 0 and at most %g Hz", highest));
    }
    if (order == 1) {
        return FirstOrderHighPass(cutoff, rate);
    }
    if (order != 3) {
        throw ToolkitError("the high-pass order must be 1 or 3");
    }
    HighPassDesign design;
    design.exact = ButterworthFeedback(cutoff, rate);
    HighPassCoefficients exact;
    exact.a = design.exact;
    design.worstErrorDb = HUGE_VAL;
    // Offsets of -1, 0, +1 place per coefficient, the nearest values first.
    constexpr std::array<int, 3> kOffsets{0, -1, 1};
    for (const int first : kOffsets) {
        for (const int second : kOffsets) {
            for (const int third : kOffsets) {
                const std::array<Float24, 3> stored{NeighbourFloat24(design.exact[0], first),
                                                    NeighbourFloat24(design.exact[1], second),
                                                    NeighbourFloat24(design.exact[2], third)};
                const HighPassCoefficients candidate = StoredHighPass(stored, exact);
                if (!HighPassStable(candidate)) {
                    continue;
                }
                const double mismatch = HighPassMismatchDb(candidate, exact, cutoff, rate);
                if (mismatch < design.worstErrorDb) {
                    design.worstErrorDb = mismatch;
                    design.stored = stored;
                    design.coefficients = candidate;
                }
            }
        }
    }
    if (design.worstErrorDb > kLargestHighPassErrorDb) {
        throw ToolkitError(Format("a third-order %g Hz high-pass at %g Hz is unstable or more than %g dB off with "
                                  "3-byte coefficients; choose a higher cut-off or --highpass-order 1",
                                  cutoff, rate, kLargestHighPassErrorDb));
    }
    return design;
}

double HighPassPassBandGain(const HighPassCoefficients &filter, double rate)
{
    return HighPassPassBand(filter, rate).gain;
}

double HighPassCutoffOf(const HighPassCoefficients &filter, double rate)
{
    const PassBand passBand = HighPassPassBand(filter, rate);
    return HalfPowerCrossing([&](double f) { return std::abs(HighPassResponse(filter, f, rate)) / passBand.gain; },
                             passBand.frequency, 0.0);
}

}  // namespace qzkit
