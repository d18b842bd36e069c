// SPDX-License-Identifier: Apache-2.0
// Warnings about constants that the tool accepts but that will misbehave.
#ifndef QZKIT_CONSTANTS_CHECK_H
#define QZKIT_CONSTANTS_CHECK_H

#include <string>
#include <vector>

#include "constants/ConstantsImage.h"

namespace qzkit {

// One sentence per problem, in field order; empty when none is found:
// MinBPM above MaxBPM; a Period that is not a positive normal number (or
// disagrees with Frequency); infinite high-pass coefficients or poles on or
// outside the unit circle; B0 + B1 above 32 (the 16-bit numerator can wrap);
// low-pass taps without gain at 0 Hz; a postscale that leaves the low-pass
// scaling at 1 for ordinary amplitudes, or a gain that drives full-amplitude
// signals into the clip.
std::vector<std::string> CheckConstants(const ConstantsImage &image);

}  // namespace qzkit

#endif
