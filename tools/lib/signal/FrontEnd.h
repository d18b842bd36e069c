// SPDX-License-Identifier: Apache-2.0
// Turning a physical signal into 10-bit samples the way a device front end
// does, and cutting the result into the tool's windows.
#ifndef QZKIT_FRONT_END_H
#define QZKIT_FRONT_END_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qzkit {

struct FrontEndOptions {
    double acCouplingHz = 0.0;   // first-order high-pass corner; 0 keeps DC
    double countsPerUnit = 200.0;  // gain: counts per physical unit of the input
    double centre = 512.0;       // counts of physical zero
};

struct FrontEndResult {
    std::vector<std::uint16_t> samples;  // 0..1023
    std::size_t clippedLow = 0;          // samples that would have been below 0
    std::size_t clippedHigh = 0;         // samples that would have been above 1023

    double ClippedFraction() const
    {
        return samples.empty() ? 0.0
                               : static_cast<double>(clippedLow + clippedHigh) / static_cast<double>(samples.size());
    }
};

// ToolkitError for a non-positive rate, a negative corner or a corner at or
// above half the rate, a gain that is not a positive number, or a centre
// outside 0..1023.
void ValidateFrontEnd(double rate, const FrontEndOptions &options);

// Optional AC coupling (a first-order RC high-pass at `rate` that starts
// settled on the first sample, so a DC offset does not ring in), then
// counts = round(centre + countsPerUnit * value), clipped to 0..1023.
// Throws ToolkitError as ValidateFrontEnd.
FrontEndResult MapToTenBits(const std::vector<double> &signal, double rate, const FrontEndOptions &options);

// MapToTenBits a piece at a time: the pieces mapped one after the other give
// the samples MapToTenBits gives for them joined.
class TenBitMapper {
public:
    // Throws ToolkitError as ValidateFrontEnd.
    TenBitMapper(double rate, const FrontEndOptions &options);

    // Appends the mapped `signal` to `result`, counting the clipped samples.
    void Map(std::span<const double> signal, FrontEndResult &result);

private:
    FrontEndOptions options_;
    double coupling_ = 0.0;  // the high-pass's a = RC / (RC + dt); 0 when off
    bool started_ = false;
    double previousInput_ = 0.0;
    double previousOutput_ = 0.0;
};

struct WindowSpan {
    std::size_t start;
    std::size_t length;
};

// Windows of `length` samples starting at 0, step, 2 step, ... that lie
// wholly inside `total` samples. ToolkitError for a zero length or step.
std::vector<WindowSpan> CutWindows(std::size_t total, std::size_t length, std::size_t step);

}  // namespace qzkit

#endif
