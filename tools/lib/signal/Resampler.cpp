// SPDX-License-Identifier: Apache-2.0
#include "signal/Resampler.h"

#include <cfloat>
#include <climits>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <samplerate.h>

#include "ToolkitError.h"

namespace qzkit {
namespace {

// Edge padding: at least this many input samples on each side, so the
// converter's filter sees a continued signal instead of zeros at the ends.
constexpr std::uint64_t kMinimumPadding = 2048;
constexpr std::uint64_t kMaximumPadding = 1u << 20;
constexpr double kLargestWholeRate = 1e9;

int ConverterType(ResampleQuality quality)
{
    switch (quality) {
    case ResampleQuality::Medium:
        return SRC_SINC_MEDIUM_QUALITY;
    case ResampleQuality::Fast:
        return SRC_SINC_FASTEST;
    case ResampleQuality::Best:
        break;
    }
    return SRC_SINC_BEST_QUALITY;
}

// Input samples to pad on each side such that the padding lasts a whole
// number of output samples (so the output grid stays on the input's time
// origin); 0 when the rates have no such short common period.
std::uint64_t WholePadding(double fromRate, double toRate)
{
    if (fromRate != std::floor(fromRate) || toRate != std::floor(toRate) || fromRate > kLargestWholeRate ||
        toRate > kLargestWholeRate) {
        return 0;
    }
    const auto from = static_cast<std::uint64_t>(fromRate);
    const std::uint64_t period = from / std::gcd(from, static_cast<std::uint64_t>(toRate));
    const std::uint64_t padding = (kMinimumPadding + period - 1) / period * period;
    return padding <= kMaximumPadding ? padding : 0;
}

// The input as floats with `padding` copies of its first and last values
// around it.
std::vector<float> PaddedInput(const std::vector<double> &input, std::size_t padding)
{
    std::vector<float> padded;
    padded.reserve(input.size() + 2u * padding);
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (!(std::abs(input[i]) <= static_cast<double>(FLT_MAX))) {
            throw ToolkitError("sample " + std::to_string(i) + " is out of range for resampling");
        }
    }
    padded.insert(padded.end(), padding, static_cast<float>(input.front()));
    for (const double value : input) {
        padded.push_back(static_cast<float>(value));
    }
    padded.insert(padded.end(), padding, static_cast<float>(input.back()));
    return padded;
}

}  // namespace

std::vector<double> Resample(const std::vector<double> &input, double fromRate, double toRate,
                             ResampleQuality quality)
{
    if (!(fromRate > 0.0) || !(toRate > 0.0)) {
        throw ToolkitError("sampling rates must be positive");
    }
    if (fromRate == toRate || input.empty()) {
        return input;
    }
    const double ratio = toRate / fromRate;
    if (src_is_valid_ratio(ratio) == 0) {
        throw ToolkitError("cannot resample from " + Readable(fromRate) + " Hz to " + Readable(toRate) +
                           " Hz: ratio beyond 1/256 to 256");
    }
    // The output buffer holds up to 256 times the input, counted in a long.
    const auto padding = static_cast<std::size_t>(WholePadding(fromRate, toRate));
    if (input.size() > static_cast<std::size_t>(LONG_MAX / 512) - 2u * padding) {
        throw ToolkitError("recording too long to resample");
    }
    // The converter works in single precision, ample for a 10-bit target.
    std::vector<float> in = PaddedInput(input, padding);
    const auto skipped = static_cast<std::size_t>(std::llround(static_cast<double>(padding) * ratio));
    // Output sample k lies at k / toRate, inside the input while k < size * ratio.
    const auto wanted = static_cast<std::size_t>(std::ceil(static_cast<double>(input.size()) * ratio));
    std::vector<float> out(static_cast<std::size_t>(std::ceil(static_cast<double>(in.size()) * ratio)) + 16u);
    SRC_DATA data{};
    data.data_in = in.data();
    data.data_out = out.data();
    data.input_frames = static_cast<long>(in.size());
    data.output_frames = static_cast<long>(out.size());
    data.src_ratio = ratio;
    data.end_of_input = 1;
    const int error = src_simple(&data, ConverterType(quality), 1);
    if (error != 0) {
        throw ToolkitError(std::string("resampling failed: ") + src_strerror(error));
    }
    const auto generated = static_cast<std::size_t>(data.output_frames_gen);
    const std::size_t end = std::max(skipped, std::min(generated, skipped + wanted));
    return std::vector<double>(out.begin() + static_cast<std::ptrdiff_t>(skipped),
                               out.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace qzkit
