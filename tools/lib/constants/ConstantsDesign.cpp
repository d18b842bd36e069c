// SPDX-License-Identifier: Apache-2.0
// A whole constants set from physical choices: the low-pass and high-pass
// designs, the rate range, and the 31-byte image that holds them.
#include "constants/ConstantsDesign.h"

#include <cmath>

#include "constants/ConstantsText.h"
#include "constants/DesignSearch.h"
#include "io/TextFormat.h"
#include "ToolkitError.h"

namespace qzkit {
void design::CheckRate(double rate)
{
    if (!(rate > 0.0 && rate <= kLargestDesignRate)) {
        throw ToolkitError(Format("the sampling rate must be above 0 and at most %g Hz", kLargestDesignRate));
    }
}

ConstantsDesign DesignConstants(const DesignRequest &request)
{
    design::CheckRate(request.rate);
    if (request.minBpm > request.maxBpm || request.maxBpm > kLargestDesignBpm) {
        throw ToolkitError(
            Format("the rate range must satisfy min <= max <= %u BPM", static_cast<unsigned>(kLargestDesignBpm)));
    }
    if (request.onePeakBpm > kLargestOnePeakBpm) {
        throw ToolkitError(Format("the one-peak rate must be 0 to %u BPM", static_cast<unsigned>(kLargestOnePeakBpm)));
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
    for (std::size_t k = 0; k < design.taps.size(); ++k) {
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

}  // namespace qzkit
