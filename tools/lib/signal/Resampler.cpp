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
    if (fromRate != std::floor(fromRate) || toRate != std::floor(toRate) || fromRate < 1.0 || toRate < 1.0 ||
        fromRate > kLargestWholeRate || toRate > kLargestWholeRate) {
        return 0;
    }
    const auto from = static_cast<std::uint64_t>(fromRate);
    const std::uint64_t period = from / std::gcd(from, static_cast<std::uint64_t>(toRate));
    const std::uint64_t padding = (kMinimumPadding + period - 1) / period * period;
    return padding <= kMaximumPadding ? padding : 0;
}

}  // namespace

struct StreamResampler::Converter {
    SRC_STATE *state;
    explicit Converter(SRC_STATE *made) : state(made) {}
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    ~Converter() { src_delete(state); }
};

StreamResampler::StreamResampler(double fromRate, double toRate, ResampleQuality quality)
{
    if (!(fromRate > 0.0) || !(toRate > 0.0)) {
        throw ToolkitError("sampling rates must be positive");
    }
    if (fromRate == toRate) {
        return;
    }
    ratio_ = toRate / fromRate;
    if (src_is_valid_ratio(ratio_) == 0) {
        throw ToolkitError("cannot resample from " + Readable(fromRate) + " Hz to " + Readable(toRate) +
                           " Hz: ratio beyond 1/256 to 256");
    }
    padding_ = static_cast<std::size_t>(WholePadding(fromRate, toRate));
    toSkip_ = static_cast<std::size_t>(std::llround(static_cast<double>(padding_) * ratio_));
    int error = 0;
    SRC_STATE *state = src_new(ConverterType(quality), 1, &error);
    if (state == nullptr) {
        throw ToolkitError(std::string("resampling failed: ") + src_strerror(error));
    }
    converter_ = std::make_unique<Converter>(state);
}

StreamResampler::~StreamResampler() = default;

void StreamResampler::Push(std::span<const double> input, bool last, std::vector<double> &output)
{
    if (!converter_) {
        output.insert(output.end(), input.begin(), input.end());
        return;
    }
    // The output buffer holds up to 256 times the input, counted in a long.
    if (input.size() > static_cast<std::size_t>(LONG_MAX / 512) - 2u * padding_) {
        throw ToolkitError("recording too long to resample");
    }
    // The converter works in single precision, ample for a 10-bit target.
    std::vector<float> in;
    in.reserve(input.size() + 2u * padding_);
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (!(std::abs(input[i]) <= static_cast<double>(FLT_MAX))) {
            throw ToolkitError("sample " + std::to_string(inputs_ + i) + " is out of range for resampling");
        }
    }
    if (inputs_ == 0 && !input.empty()) {
        in.insert(in.end(), padding_, static_cast<float>(input.front()));
    }
    for (const double value : input) {
        in.push_back(static_cast<float>(value));
    }
    inputs_ += input.size();
    if (!input.empty()) {
        last_ = in.back();
    }
    if (last && inputs_ > 0) {
        in.insert(in.end(), padding_, last_);
    }
    Feed(in, last && inputs_ > 0, output);
}

void StreamResampler::Feed(std::span<const float> input, bool last, std::vector<double> &output)
{
    // Output sample k lies at k / toRate, inside the input while k < inputs * ratio.
    const auto wanted = static_cast<std::size_t>(std::ceil(static_cast<double>(inputs_) * ratio_));
    std::vector<float> out(static_cast<std::size_t>(std::ceil(static_cast<double>(input.size()) * ratio_)) + 16u);
    for (;;) {
        SRC_DATA data{};
        data.data_in = input.data();
        data.data_out = out.data();
        data.input_frames = static_cast<long>(input.size());
        data.output_frames = static_cast<long>(out.size());
        data.src_ratio = ratio_;
        data.end_of_input = last ? 1 : 0;
        const int error = src_process(converter_->state, &data);
        if (error != 0) {
            throw ToolkitError(std::string("resampling failed: ") + src_strerror(error));
        }
        const auto generated = static_cast<std::size_t>(data.output_frames_gen);
        for (std::size_t k = 0; k < generated; ++k) {
            if (toSkip_ > 0) {
                --toSkip_;
            } else if (outputs_ < wanted) {
                output.push_back(static_cast<double>(out[k]));
                ++outputs_;
            }
        }
        input = input.subspan(static_cast<std::size_t>(data.input_frames_used));
        if (input.empty() && (!last || generated == 0)) {
            return;
        }
    }
}

std::vector<double> Resample(const std::vector<double> &input, double fromRate, double toRate,
                             ResampleQuality quality)
{
    StreamResampler resampler(fromRate, toRate, quality);
    std::vector<double> output;
    resampler.Push(input, true, output);
    return output;
}

}  // namespace qzkit
