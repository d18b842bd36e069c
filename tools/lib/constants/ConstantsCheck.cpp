// SPDX-License-Identifier: Apache-2.0
#include "constants/ConstantsCheck.h"

#include <cmath>

#include "constants/ConstantsResponse.h"
#include "constants/ConstantsText.h"
#include "io/ShortestDecimal.h"
#include "io/TextFormat.h"

namespace qzkit {
namespace {

constexpr double kFrequencyTolerance = 0.01;      // relative disagreement of Frequency and 1 / Period
constexpr unsigned kNumeratorSafeSum = 32;        // 32 x 1023 still fits a signed 16-bit value
constexpr std::uint16_t kOrdinaryAmplitude = 100;  // counts; smaller buffers are common
constexpr std::uint16_t kLargestAmplitude = 1023;
constexpr double kLowPassHeadroom = 511.0;  // from a mid-scale median to either end of 0..1023
constexpr double kHighPassTop = 523.0;      // filter values beyond these clip (offset 500)
constexpr double kHighPassBottom = -500.0;

void CheckRateLimits(const qz::sampling_frequency_struct &record, std::vector<std::string> &warnings)
{
    if (record.MinBPM > record.MaxBPM) {
        warnings.push_back("MinBPM " + std::to_string(record.MinBPM) + " is above MaxBPM " +
                           std::to_string(record.MaxBPM) + ": every rate will be reported with QI 3");
    }
}

void CheckPeriod(const qz::sampling_frequency_struct &record, std::vector<std::string> &warnings)
{
    const float period = record.Period;
    const std::string shown = "Period " + ShortestDecimal(period);
    if (std::isinf(period)) {
        warnings.push_back(shown + " is infinite: every rate comes out as 0");
    } else if (period < 0.0f) {
        warnings.push_back(shown + " is negative: every rate comes out meaningless (clamped to 1023)");
    } else if (!std::isnormal(period)) {
        warnings.push_back(shown + " is the format's stand-in for zero: every rate overflows");
    } else if (record.Frequency != 0) {
        const double implied = 1.0 / static_cast<double>(period);
        if (std::fabs(implied - record.Frequency) > kFrequencyTolerance * record.Frequency) {
            warnings.push_back(shown + " means " + Format("%.6g", implied) + " Hz but Frequency is " +
                               std::to_string(record.Frequency) + " Hz; rates are computed from Period");
        }
    }
}

// Returns false when the feedback is unusable (infinite or unstable).
bool CheckHighPassFeedback(const HighPassCoefficients &filter, std::vector<std::string> &warnings)
{
    bool usable = true;
    for (std::size_t i = 0; i < filter.a.size(); ++i) {
        if (std::isinf(filter.a[i])) {
            warnings.push_back("HPFConstantsA[" + std::to_string(i) +
                               "] is infinite: the high-pass output is pinned to the clip limits");
            usable = false;
        }
    }
    if (usable && !HighPassStable(filter)) {
        double radius = 0.0;
        for (const std::complex<double> &pole : HighPassPoles(filter)) {
            radius = std::max(radius, std::abs(pole));
        }
        warnings.push_back("the high-pass feedback has a pole at radius " + Format("%.6f", radius) +
                           ", not inside the unit circle: the filter is unstable and its output runs into the clip");
        usable = false;
    }
    return usable;
}

void CheckHighPassNumerator(const HighPassCoefficients &filter, std::vector<std::string> &warnings)
{
    if (filter.b0 + filter.b1 > kNumeratorSafeSum) {
        warnings.push_back("HPFConstantsB sum to " + std::to_string(filter.b0 + filter.b1) +
                           ", above 32: the 16-bit numerator wraps on large steps");
    }
}

// Returns false when the low-pass has no usable gain.
bool CheckLowPassTaps(const LowPassTaps &taps, std::vector<std::string> &warnings)
{
    const int sum = LowPassTapSum(taps);
    if (taps == LowPassTaps{}) {
        warnings.push_back("every LPFConstants tap is 0: the low-pass outputs the buffer median everywhere");
    } else if (sum == 0) {
        warnings.push_back("the LPFConstants taps sum to 0: the low-pass has no gain at 0 Hz");
    } else if (sum < 0) {
        warnings.push_back("the LPFConstants taps sum to " + std::to_string(sum) + ": the low-pass inverts the signal");
    }
    return sum > 0;
}

void CheckLowPassScaling(std::uint8_t postscale, std::vector<std::string> &warnings)
{
    if (postscale == 0) {
        warnings.push_back("LPFPostscale 0: the low-pass scaling is always 1, so the output is the signal "
                           "times the tap sum and clips");
        return;
    }
    std::uint16_t collapsed = 0;
    while (collapsed < kLargestAmplitude && LowPassScaling(postscale, static_cast<std::uint16_t>(collapsed + 1)) <= 1) {
        ++collapsed;
    }
    if (collapsed >= kOrdinaryAmplitude) {
        warnings.push_back("LPFPostscale " + std::to_string(postscale) +
                           ": the low-pass scaling stays 1 for amplitudes up to " + std::to_string(collapsed) +
                           " counts, so such signals are multiplied by the whole tap sum");
    }
}

// The swing the low-pass gives full-amplitude signals; 0 when unusable.
double CheckLowPassSwing(const LowPassTaps &taps, std::uint8_t postscale, std::vector<std::string> &warnings)
{
    if (postscale == 0) {
        return 0.0;
    }
    const double swing = LowPassSwing(taps, postscale, kLargestAmplitude);
    if (swing > kLowPassHeadroom) {
        warnings.push_back("the low-pass moves a full-amplitude signal about " + Format("%.0f", swing) +
                           " counts from its median, more than the 511 a mid-scale median leaves: peaks clip");
    }
    return swing;
}

void CheckHighPassRange(const HighPassCoefficients &filter, double swing, std::vector<std::string> &warnings)
{
    const HighPassRange range = HighPassOutputRange(filter, swing);
    if (range.stepHighest > kHighPassTop || range.stepLowest < kHighPassBottom) {
        warnings.push_back("a step of the low-pass swing (" + Format("%.0f", swing) +
                           " counts) drives the high-pass to " + Format("%.0f", range.stepLowest) + ".." +
                           Format("%.0f", range.stepHighest) + ", beyond its output range -500..523: it clips");
    }
}

}  // namespace

std::vector<std::string> CheckConstants(const ConstantsImage &image)
{
    const qz::sampling_frequency_struct record = ToSamplingRecord(image);
    std::vector<std::string> warnings;
    CheckPeriod(record, warnings);
    CheckRateLimits(record, warnings);
    const LowPassTaps taps = TapsOf(record);
    const bool lowPassUsable = CheckLowPassTaps(taps, warnings);
    CheckLowPassScaling(record.LPFPostscale, warnings);
    const double swing = lowPassUsable ? CheckLowPassSwing(taps, record.LPFPostscale, warnings) : 0.0;
    const HighPassCoefficients highPass = HighPassOf(record);
    const bool highPassUsable = CheckHighPassFeedback(highPass, warnings);
    CheckHighPassNumerator(highPass, warnings);
    if (highPassUsable && swing > 0.0) {
        CheckHighPassRange(highPass, swing, warnings);
    }
    return warnings;
}

}  // namespace qzkit
