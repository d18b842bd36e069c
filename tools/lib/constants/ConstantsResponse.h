// SPDX-License-Identifier: Apache-2.0
// What a set of constants does to a signal: the frequency responses of the
// low-pass and high-pass stages, the high-pass poles and stability, and the
// output range each stage produces.
#ifndef QZKIT_CONSTANTS_RESPONSE_H
#define QZKIT_CONSTANTS_RESPONSE_H

#include <array>
#include <complex>
#include <cstdint>

#include <qz_vozozi_DE/QZ_DataStructures.h>

namespace qzkit {

// The five distinct taps c0 (outer pair) .. c4 (centre) of the symmetric
// nine-tap low-pass, as stored and before rounding.
using LowPassTaps = std::array<int, 5>;
using ExactLowPassTaps = std::array<double, 5>;

// The low-pass gain at 0 Hz: 2 c0 + 2 c1 + 2 c2 + 2 c3 + c4.
int LowPassTapSum(const LowPassTaps &taps);

// Amplitude response of the taps (signed: the filter has linear phase) at
// `frequency`, relative to 0 Hz. Needs a non-zero tap sum (ToolkitError for
// integer taps without one).
double LowPassRelativeGain(const ExactLowPassTaps &taps, double frequency, double rate);
double LowPassRelativeGain(const LowPassTaps &taps, double frequency, double rate);

// The scaling value the low-pass divides by for a buffer amplitude, as the
// stage computes it: trunc(float(postscale) / 450 x amplitude), at least 1.
unsigned LowPassScaling(std::uint8_t postscale, std::uint16_t amplitude);

// How far from the median the low-pass puts a signal of this amplitude (the
// larger one-sided excursion about the median) at 0 Hz: sum x amplitude / S.
double LowPassSwing(const LowPassTaps &taps, std::uint8_t postscale, std::uint16_t amplitude);

// The high-pass: numerator B0 - B1 z^-1 + B1 z^-2 - B0 z^-3 over
// 1 + A0 z^-1 + A1 z^-2 + A2 z^-3.
struct HighPassCoefficients {
    std::array<double, 3> a{};  // A0 (on y[n-1]) .. A2
    unsigned b0 = 1;
    unsigned b1 = 3;
};

std::complex<double> HighPassResponse(const HighPassCoefficients &filter, double frequency, double rate);

// Roots of z^3 + A0 z^2 + A1 z + A2.
std::array<std::complex<double>, 3> HighPassPoles(const HighPassCoefficients &filter);

// True when the coefficients are finite and every pole lies strictly inside
// the unit circle (Jury's test on the coefficients, so it does not depend on
// the accuracy of the computed roots).
bool HighPassStable(const HighPassCoefficients &filter);

// Extremes of the filter value y (before the offset of 500 and the clipping)
// for an input that steps by `step` counts, and the bound on |y| for any input
// within +-`swing` of a constant (sum of |impulse response| x swing). Needs a
// stable filter.
struct HighPassRange {
    double stepLowest;
    double stepHighest;
    double bound;
};
HighPassRange HighPassOutputRange(const HighPassCoefficients &filter, double swing);

// The stages' filters as a constants record holds them.
HighPassCoefficients HighPassOf(const qz::sampling_frequency_struct &record);
LowPassTaps TapsOf(const qz::sampling_frequency_struct &record);

}  // namespace qzkit

#endif
