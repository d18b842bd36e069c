// SPDX-License-Identifier: Apache-2.0
#include "signal/FrontEnd.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ToolkitError.h"

namespace qzkit {
namespace {

// y[n] = a (y[n-1] + x[n] - x[n-1]), a = RC / (RC + dt), with x[-1] = x[0]
// and y[-1] = 0.
std::vector<double> AcCouple(const std::vector<double> &signal, double rate, double cornerHz)
{
    const double rc = 1.0 / (2.0 * std::numbers::pi * cornerHz);
    const double a = rc / (rc + 1.0 / rate);
    std::vector<double> coupled(signal.size());
    double previousInput = signal.empty() ? 0.0 : signal.front();
    double previousOutput = 0.0;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        previousOutput = a * (previousOutput + signal[i] - previousInput);
        previousInput = signal[i];
        coupled[i] = previousOutput;
    }
    return coupled;
}

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

FrontEndResult MapToTenBits(const std::vector<double> &signal, double rate, const FrontEndOptions &options)
{
    ValidateFrontEnd(rate, options);
    const std::vector<double> input = options.acCouplingHz > 0.0 ? AcCouple(signal, rate, options.acCouplingHz)
                                                                  : signal;
    FrontEndResult result;
    result.samples.reserve(input.size());
    for (const double value : input) {
        const double counts = std::round(options.centre + options.countsPerUnit * value);
        if (counts < 0.0 || std::isnan(counts)) {
            ++result.clippedLow;
        } else if (counts > 1023.0) {
            ++result.clippedHigh;
        }
        const double clipped = std::isnan(counts) ? 0.0 : std::clamp(counts, 0.0, 1023.0);
        result.samples.push_back(static_cast<std::uint16_t>(clipped));
    }
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
