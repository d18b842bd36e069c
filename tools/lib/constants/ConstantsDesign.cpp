#include "constants/ConstantsDesign.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "constants/ConstantsText.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kHalfPower = 0.70710678118654752;
constexpr std::size_t kTapCount = 5;
constexpr double kWindowHalfWidth = 5.0;      // triangle 1 - |n| / 5 over n = -4..4
constexpr double kHighestLowPassFraction = 0.3;
constexpr double kHighestHighPassFraction = 0.25;
constexpr double kLargestHighPassErrorDb = 1.0;  // rounded feedback against the exact filter
constexpr double kScalingDivisor = 450.0;
constexpr double kLargestPostscale = 255.0;
constexpr double kLargestTap = 127.0;
constexpr double kSmallestSwing = 32.0;
constexpr double kLargestSwing = 511.0;
constexpr double kLargestRate = 65535.0;
constexpr std::uint16_t kLargestBpm = 1023;
constexpr std::uint16_t kLargestOnePeakBpm = 255;
constexpr double kLowestShownDb = -99.0;
constexpr int kCrossingSteps = 4000;
constexpr int kBisections = 60;
constexpr std::size_t kResponseGridPoints = 256;
constexpr unsigned kMantissaBits = 15;
constexpr std::array<std::uint16_t, 6> kShownAmplitudes{25, 50, 100, 200, 400, 1023};

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

// The first frequency from `from` towards `to` at which gain(f) falls below
// half power; `to` when it never does.
template <typename Gain>
double HalfPowerCrossing(Gain gain, double from, double to)
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

void CheckRate(double rate)
{
    if (!(rate > 0.0 && rate <= kLargestRate)) {
        throw ToolkitError("the sampling rate must be above 0 and at most 65535 Hz");
    }
}

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

std::string Printf(const char *pattern, auto... values)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
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

// A gain in dB for the table, "<-99" for the zeros of the low-pass.
std::string Decibels(double gain)
{
    const double decibels = 20.0 * std::log10(std::fabs(gain));
    return decibels < kLowestShownDb ? "<-99" : Printf("%.1f", decibels);
}

void DescribeLowPass(const ConstantsDesign &design, std::ostringstream &text)
{
    const DesignRequest &request = design.request;
    const LowPassTaps &taps = design.taps;
    text << Printf("Low-pass: taps %d, %d, %d, %d, %d (nine taps, sum %d), postscale %u\n", taps[0], taps[1], taps[2],
                   taps[3], taps[4], LowPassTapSum(taps), design.postscale);
    text << Printf("  -3 dB at %.2f Hz (asked for %.2f Hz); output delayed by 4 samples\n",
                   LowPassCutoffOf(taps, request.rate), request.lowPassCutoff);
    text << "  swing about the median by buffer amplitude:";
    for (const std::uint16_t amplitude : kShownAmplitudes) {
        text << Printf(" %u->%.0f", amplitude, LowPassSwing(taps, design.postscale, amplitude));
    }
    text << Printf(" (aimed at %.0f)\n", request.swing);
}

void DescribeHighPass(const ConstantsDesign &design, std::ostringstream &text)
{
    const HighPassDesign &highPass = design.highPass;
    const double rate = design.request.rate;
    text << (design.request.highPassOrder == 1
                 ? "High-pass: first order, numerator (1 - z^-1)(1 + z^-2) (B0 = 1, B1 = 1)\n"
                 : "High-pass: third-order Butterworth, numerator (1 - z^-1)^3 (B0 = 1, B1 = 3)\n");
    for (std::size_t i = 0; i < highPass.stored.size(); ++i) {
        text << Printf("  A%zu = %s (exact %.9g), %s\n", i, FormatFloatValue(DecodeFloat24(highPass.stored[i])).c_str(),
                       highPass.exact[i], DescribeFloat24(highPass.stored[i]).c_str());
    }
    text << "  poles at radius";
    for (const std::complex<double> &pole : HighPassPoles(highPass.coefficients)) {
        text << Printf(" %.6f", std::abs(pole));
    }
    text << (HighPassStable(highPass.coefficients) ? ": stable\n" : ": UNSTABLE\n");
    text << Printf("  -3 dB at %.2f Hz (asked for %.2f Hz); pass-band gain %.3f; within %.3f dB of the exact filter\n",
                   HighPassCutoffOf(highPass.coefficients, rate), design.request.highPassCutoff,
                   HighPassPassBand(highPass.coefficients, rate).gain, highPass.worstErrorDb);
}

void DescribeResponses(const ConstantsDesign &design, std::ostringstream &text)
{
    const double rate = design.request.rate;
    const double passBand = HighPassPassBand(design.highPass.coefficients, rate).gain;
    text << "Gain (dB; high-pass relative to its pass band):\n";
    text << "      Hz  low-pass high-pass  together\n";
    for (const double frequency : {0.25, 0.5, 0.7, 1.0, 2.0, 3.0, 5.0, 8.0, 10.0, 12.0, 15.0, 20.0, 25.0, 30.0, 40.0,
                                   50.0, 60.0, 80.0, 100.0}) {
        if (frequency >= rate / 2.0) {
            break;
        }
        const double low = LowPassRelativeGain(design.taps, frequency, rate);
        const double high = std::abs(HighPassResponse(design.highPass.coefficients, frequency, rate)) / passBand;
        text << Printf("  %6.2f  %8s  %8s  %8s\n", frequency, Decibels(low).c_str(), Decibels(high).c_str(),
                       Decibels(low * high).c_str());
    }
}

void DescribeRanges(const ConstantsDesign &design, std::ostringstream &text)
{
    const double swing = LowPassSwing(design.taps, design.postscale, 1023);
    const HighPassRange range = HighPassOutputRange(design.highPass.coefficients, swing);
    text << Printf("Output range:\n  low-pass: median +-%.0f counts, clipped to 0..1023\n", swing);
    text << Printf("  high-pass (offset 500, clipped to 0..1023): a step of %.0f gives %.0f..%.0f; "
                   "worst case for any input within +-%.0f: %.0f..%.0f\n",
                   swing, 500.0 + range.stepLowest, 500.0 + range.stepHighest, swing, 500.0 - range.bound,
                   500.0 + range.bound);
}

void DescribeRateLimits(const ConstantsDesign &design, std::ostringstream &text)
{
    const DesignRequest &request = design.request;
    const double shortest = 60.0 * request.rate / std::max<double>(request.maxBpm, 1.0);
    const double longest = 60.0 * request.rate / std::max<double>(request.minBpm, 1.0);
    text << Printf("Rates: %u..%u BPM accepted (intervals %.1f..%.1f samples); outside them QI 3\n", request.minBpm,
                   request.maxBpm, shortest, longest);
    text << Printf("  one sample of interval is %.2f BPM at %u BPM; one peak alone reports %u BPM with QI 3\n",
                   request.maxBpm - 60.0 * request.rate / (shortest + 1.0), request.maxBpm, request.onePeakBpm);
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
        throw ToolkitError(Printf("nine taps at %g Hz reach low-pass cut-offs from %.2f to %.2f Hz, not %g", rate,
                                  lowest, highest, cutoff));
    }
    if (!(swing >= kSmallestSwing && swing <= kLargestSwing)) {
        throw ToolkitError("the swing must be 32 to 511 counts");
    }
    return RoundedTaps(WindowedSinc(SincCutoffFor(cutoff, rate), rate), cutoff, rate, swing, postscale);
}

HighPassDesign DesignHighPass(double cutoff, double rate, int order)
{
    CheckRate(rate);
    if (!(cutoff > 0.0 && cutoff <= kHighestHighPassFraction * rate)) {
        throw ToolkitError(
            Printf("the high-pass cut-off must be above 0 and at most %g Hz", kHighestHighPassFraction * rate));
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
        throw ToolkitError(Printf("a third-order %g Hz high-pass at %g Hz is unstable or more than %g dB off with "
                                  "3-byte coefficients; choose a higher cut-off or --highpass-order 1",
                                  cutoff, rate, kLargestHighPassErrorDb));
    }
    return design;
}

ConstantsDesign DesignConstants(const DesignRequest &request)
{
    CheckRate(request.rate);
    if (request.minBpm > request.maxBpm || request.maxBpm > kLargestBpm) {
        throw ToolkitError("the rate range must satisfy min <= max <= 1023 BPM");
    }
    if (request.onePeakBpm > kLargestOnePeakBpm) {
        throw ToolkitError("the one-peak rate must be 0 to 255 BPM");
    }
    ConstantsDesign design;
    design.request = request;
    design.taps = DesignLowPassTaps(request.lowPassCutoff, request.rate, request.swing, design.postscale);
    design.highPass = DesignHighPass(request.highPassCutoff, request.rate, request.highPassOrder);

    ConstantsImage &image = design.image;
    const auto setInteger = [&image](std::string_view name, std::size_t index, std::int64_t value) {
        WriteIntegerValue(image, FindConstantsField(name), index, value);
    };
    setInteger("Frequency", 0, std::llround(request.rate));
    setInteger("DelayCycles", 0, 0);
    WriteFloatValue(image, FindConstantsField("Period"), 0, EncodeFloat24(1.0 / request.rate));
    setInteger("MaxBPM", 0, request.maxBpm);
    setInteger("MinBPM", 0, request.minBpm);
    setInteger("OnePerMinute", 0, request.onePeakBpm);
    for (std::size_t k = 0; k < kTapCount; ++k) {
        setInteger("LPFConstants", k, design.taps[k]);
    }
    setInteger("LPFPostscale", 0, design.postscale);
    for (std::size_t i = 0; i < design.highPass.stored.size(); ++i) {
        WriteFloatValue(image, FindConstantsField("HPFConstantsA"), i, design.highPass.stored[i]);
    }
    setInteger("HPFConstantsB", 0, design.highPass.coefficients.b0);
    setInteger("HPFConstantsB", 1, design.highPass.coefficients.b1);
    setInteger("ContDelayCycles", 0, 0);
    return design;
}

double LowPassCutoffOf(const LowPassTaps &taps, double rate)
{
    return HalfPowerCrossing([&](double f) { return std::fabs(LowPassRelativeGain(taps, f, rate)); }, 0.0, rate / 2.0);
}

double HighPassCutoffOf(const HighPassCoefficients &filter, double rate)
{
    const PassBand passBand = HighPassPassBand(filter, rate);
    return HalfPowerCrossing([&](double f) { return std::abs(HighPassResponse(filter, f, rate)) / passBand.gain; },
                             passBand.frequency, 0.0);
}

std::string DescribeDesign(const ConstantsDesign &design)
{
    std::ostringstream text;
    DescribeLowPass(design, text);
    DescribeHighPass(design, text);
    DescribeResponses(design, text);
    DescribeRanges(design, text);
    DescribeRateLimits(design, text);
    return text.str();
}

}  // namespace qzkit
