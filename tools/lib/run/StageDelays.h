// SPDX-License-Identifier: Apache-2.0
// How far the conditioning stages shift the signal, and where the beat behind
// a detected peak lies on the recording. The peak finder reports locations on
// the conditioned signal; every stage that ran moved each feature later by a
// fixed number of samples, which depends on the stage mask and the
// derivative order.
#ifndef QZKIT_STAGE_DELAYS_H
#define QZKIT_STAGE_DELAYS_H

#include <cstddef>
#include <cstdint>
#include <optional>

namespace qzkit {

inline constexpr std::size_t kLowPassDelay = 4;              // nine-tap FIR centred on n - 4
inline constexpr std::size_t kFivePointDerivativeDelay = 2;  // x[n] + x[n-1] - x[n-3] - x[n-4], centred on n - 2
inline constexpr std::size_t kMovingAverageDelay = 8;        // two passes of the trailing nine-sample mean

// The shift of the derivative stage: the 5-point derivative (order 5) shifts
// by 2, the 2-point one (every other order, as the tool's driver stores it)
// by none.
std::size_t DerivativeDelay(std::uint16_t derivativeOrder);

// The total shift of the stages `stageMask` runs (QZ_STAGE_* bits): low-pass,
// derivative and moving average; high-pass and squaring add none.
std::size_t PeakDelay(std::uint16_t stageMask, std::uint16_t derivativeOrder);

// The zero-based recording sample of the beat behind a stored peak location
// (one-based, as the result record holds it); none for location 0 (not set)
// or a beat that would lie before the start of the recording.
std::optional<std::size_t> BeatSample(std::uint16_t peakLocation, std::size_t peakDelay);

}  // namespace qzkit

#endif
