// SPDX-License-Identifier: Apache-2.0
// Band-limited sample-rate conversion of a whole signal.
#ifndef QZKIT_RESAMPLER_H
#define QZKIT_RESAMPLER_H

#include <vector>

namespace qzkit {

enum class ResampleQuality { Best, Medium, Fast };

// Converts `input` from `fromRate` to `toRate` with a windowed-sinc
// converter: output sample k is the band-limited signal at time k / toRate
// (no delay), for every k < input.size() * toRate / fromRate. For whole-number
// rates the ends are padded with copies of the first and last samples, so a
// constant stays constant up to the edges. Equal rates return the input
// unchanged. The ratio must lie within 1/256 to 256; ToolkitError otherwise.
std::vector<double> Resample(const std::vector<double> &input, double fromRate, double toRate,
                             ResampleQuality quality = ResampleQuality::Best);

}  // namespace qzkit

#endif
