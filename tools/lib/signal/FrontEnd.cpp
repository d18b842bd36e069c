// SPDX-License-Identifier: Apache-2.0
#include "signal/FrontEnd.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr double kLargestCount = 1023.0;

}  // namespace

void ValidateFrontEnd(double rate, const FrontEndOptions &options)
{
    if (!(rate > 0.0)) {
        throw ToolkitError("sampling rate must be positive");
    }
    if (!(options.acCouplingHz >= 0.0) || !(options.acCouplingHz < rate / 2.0)) {
        throw ToolkitError("AC-coupling corner must be 0 (off) or below half the sampling rate");
    }
    // A zero or negative gain gives flat or inverted windows; a centre outside
    // the 10-bit range clips half of every wave.
    if (!(options.countsPerUnit > 0.0) || !std::isfinite(options.countsPerUnit)) {
        throw ToolkitError("gain must be a positive number, not " + Readable(options.countsPerUnit));
    }
    if (!(options.centre >= 0.0 && options.centre <= kLargestCount)) {
        throw ToolkitError("centre must be 0 to 1023 counts, not " + Readable(options.centre));
    }
}

// The high-pass is y[n] = a (y[n-1] + x[n] - x[n-1]), a = RC / (RC + dt),
// with x[-1] = x[0] and y[-1] = 0.
TenBitMapper::TenBitMapper(double rate, const FrontEndOptions &options) : options_(options)
{
    ValidateFrontEnd(rate, options);
    if (options.acCouplingHz > 0.0) {
        const double rc = 1.0 / (2.0 * std::numbers::pi * options.acCouplingHz);
        coupling_ = rc / (rc + 1.0 / rate);
    }
}

void TenBitMapper::Map(std::span<const double> signal, FrontEndResult &result)
{
    result.samples.reserve(result.samples.size() + signal.size());
    for (double value : signal) {
        if (coupling_ > 0.0) {
            if (!started_) {
                previousInput_ = value;
                started_ = true;
            }
            previousOutput_ = coupling_ * (previousOutput_ + value - previousInput_);
            previousInput_ = value;
            value = previousOutput_;
        }
        const double counts = std::round(options_.centre + options_.countsPerUnit * value);
        if (counts < 0.0 || std::isnan(counts)) {
            ++result.clippedLow;
        } else if (counts > 1023.0) {
            ++result.clippedHigh;
        }
        const double clipped = std::isnan(counts) ? 0.0 : std::clamp(counts, 0.0, kLargestCount);
        result.samples.push_back(static_cast<std::uint16_t>(clipped));
    }
}

FrontEndResult MapToTenBits(const std::vector<double> &signal, double rate, const FrontEndOptions &options)
{
    FrontEndResult result;
    TenBitMapper(rate, options).Map(signal, result);
    return result;
}

std::vector<WindowSpan> CutWindows(std::size_t total, std::size_t length, std::size_t step)
{
    if (length == 0 || step == 0) {
        throw ToolkitError("window length and step must be positive");
    }
    std::vector<WindowSpan> windows;
    for (std::size_t start = 0; start <= total && total - start >= length; start += step) {
        windows.push_back({start, length});
    }
    return windows;
}

}  // namespace qzkit
