// SPDX-License-Identifier: Apache-2.0
// Designing a constants set from physical choices: the sampling rate, the
// low-pass and high-pass cut-offs, the swing the low-pass gives the signal,
// and the plausible rate range.
//
// Low-pass: the nine symmetric taps are a sinc under a triangular window
// (1 - |n|/5), whose sinc cut-off is chosen so that the filter is 3 dB down
// at the requested frequency; as that cut-off goes to 0 the taps become
// 1, 2, 3, 4, 5, 4, 3, 2, 1, the lowest cut-off the family reaches (16.3 Hz
// at 250 Hz, with zeros at 50 and 100 Hz). The taps are scaled to integers so
// that the postscale (tap sum x 450 / swing) fits a byte, at the scale whose
// rounded taps follow the exact response and the cut-off most closely.
//
// High-pass, by the bilinear transform with the cut-off pre-warped:
// - third order: Butterworth over the numerator (1 - z^-1)^3 (B0 = 1,
//   B1 = 3), so the gain in the pass band is 1 / K of the textbook filter.
//   Each feedback coefficient is rounded to a 3-byte float; of the
//   combinations within one step of the nearest values the stable one that
//   follows the exact response most closely is kept, and refused when it is
//   more than 1 dB off anywhere. Its poles crowd towards z = 1 as the cut-off
//   falls, so 3-byte coefficients hold it down to about 0.006 of the rate
//   (1.5 Hz at 250 Hz).
// - first order: one pole over the numerator (1 - z^-1)(1 + z^-2) (B0 = 1,
//   B1 = 1): gain 2 in the pass band, a zero at a quarter of the rate. Gentle
//   on slow waves such as pulse waves, and usable down to small fractions of
//   a hertz.
#ifndef QZKIT_CONSTANTS_DESIGN_H
#define QZKIT_CONSTANTS_DESIGN_H

#include <array>
#include <cstdint>
#include <string>

#include "constants/ConstantsImage.h"
#include "constants/ConstantsResponse.h"

namespace qzkit {

struct DesignRequest {
    double rate = 250.0;            // samples per second
    double lowPassCutoff = 20.0;    // Hz, -3 dB
    double highPassCutoff = 5.0;    // Hz, -3 dB
    int highPassOrder = 3;          // 3 (Butterworth) or 1
    double swing = 375.0;           // counts from the median the low-pass gives the buffer amplitude
    std::uint16_t minBpm = 30;
    std::uint16_t maxBpm = 240;
    std::uint16_t onePeakBpm = 0;   // 0..255, reported with QI 3 when only one peak is found
};

struct HighPassDesign {
    std::array<double, 3> exact{};  // A0..A2 before rounding
    std::array<Float24, 3> stored{};
    HighPassCoefficients coefficients;  // the stored values, as the stage uses them
    double worstErrorDb = 0.0;          // largest gain difference to the exact filter
};

struct ConstantsDesign {
    DesignRequest request;
    LowPassTaps taps{};
    std::uint8_t postscale = 0;
    HighPassDesign highPass;
    ConstantsImage image{};
};

// The limits of a design's choices: the rate, the swing, the rate range
// and the one-peak rate.
inline constexpr double kLargestDesignRate = 65535.0;
inline constexpr double kSmallestSwing = 32.0;
inline constexpr double kLargestSwing = 511.0;
inline constexpr std::uint16_t kLargestDesignBpm = 1023;
inline constexpr std::uint16_t kLargestOnePeakBpm = 255;

// The reachable low-pass cut-offs at a rate (-3 dB of the triangle up to
// three tenths of the rate), and the highest high-pass cut-off (a quarter of
// the rate).
double LowestLowPassCutoff(double rate);
double HighestLowPassCutoff(double rate);
double HighestHighPassCutoff(double rate);

// Throws ToolkitError when a choice is out of reach (a cut-off the nine taps
// cannot make, a high-pass that no rounding keeps stable, a swing or rate
// range that cannot be stored).
LowPassTaps DesignLowPassTaps(double cutoff, double rate, double swing, std::uint8_t &postscale);
HighPassDesign DesignHighPass(double cutoff, double rate, int order);
ConstantsDesign DesignConstants(const DesignRequest &request);

// The frequency where the gain first falls below -3 dB of its pass band
// (searching upwards from 0 Hz for the low-pass, downwards from the largest
// gain for the high-pass).
double LowPassCutoffOf(const LowPassTaps &taps, double rate);
double HighPassCutoffOf(const HighPassCoefficients &filter, double rate);

// The largest gain of the high-pass below a quarter of the rate.
double HighPassPassBandGain(const HighPassCoefficients &filter, double rate);

// What the design does: taps and postscale, feedback and poles, the responses
// at a set of frequencies, the output range of each stage and what the rate
// limits mean in samples.
std::string DescribeDesign(const ConstantsDesign &design);

// The `qzkit constants design` command that makes this request.
std::string DesignCommandLine(const DesignRequest &request);

// Every line of `text` as a comment line of the constants text ("# line").
std::string CommentLines(const std::string &text);

// The text form of a design: its command and description as comments, then
// the fields.
std::string DesignText(const ConstantsDesign &design);

}  // namespace qzkit

#endif
