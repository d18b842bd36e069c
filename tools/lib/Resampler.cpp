#include "Resampler.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <samplerate.h>

#include "ToolkitError.h"

namespace qzkit {
namespace {

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
        throw ToolkitError("cannot resample from " + std::to_string(fromRate) + " Hz to " + std::to_string(toRate) +
                           " Hz: ratio beyond 1/256 to 256");
    }
    if (input.size() > static_cast<std::size_t>(LONG_MAX / 512)) {
        throw ToolkitError("recording too long to resample");
    }
    // The converter works in single precision, ample for a 10-bit target.
    std::vector<float> in(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (!(std::abs(input[i]) <= static_cast<double>(FLT_MAX))) {
            throw ToolkitError("sample " + std::to_string(i) + " is out of range for resampling");
        }
        in[i] = static_cast<float>(input[i]);
    }
    std::vector<float> out(static_cast<std::size_t>(std::ceil(static_cast<double>(input.size()) * ratio)) + 16u);
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
    return std::vector<double>(out.begin(), out.begin() + data.output_frames_gen);
}

}  // namespace qzkit
