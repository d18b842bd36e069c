// SPDX-License-Identifier: Apache-2.0
#include "monitor/MonitorSession.h"

namespace qzkit {
namespace {

// Kept back: the longest window, and as much again for a firmware whose
// result line comes late.
constexpr std::size_t kSamplesKept = std::size_t{2} * QZ_LONG_RECORD_SAMPLES;

}  // namespace

MonitorSession::MonitorSession(const MonitorSettings &settings) : settings_(settings) {}

std::optional<Estimate> MonitorSession::AddSample(std::int64_t value)
{
    const std::uint16_t clipped = ClippedSample(value);
    clipped_ += clipped != value ? 1u : 0u;
    latest_.push_back(clipped);
    if (latest_.size() > kSamplesKept) {
        latest_.pop_front();
    }
    ++received_;
    const std::size_t size = settings_.window;
    if (settings_.step == 0 || received_ < size || (received_ - size) % settings_.step != 0) {
        return std::nullopt;
    }
    return EstimateOn(received_, size);
}

Estimate MonitorSession::CheckDeviceResult(const DeviceResult &result)
{
    const std::uint64_t kept = latest_.size();
    if (result.end > received_ || received_ - result.end + result.length > kept) {
        Estimate missing;
        missing.start = result.end - result.length;
        missing.end = result.end;
        missing.device = result.words;
        missing.verdict = CheckVerdict::NotInStream;
        return missing;
    }
    Estimate estimate = EstimateOn(result.end, result.length);
    estimate.device = result.words;
    estimate.verdict = estimate.run.words == result.words ? CheckVerdict::Identical : CheckVerdict::Differs;
    return estimate;
}

Estimate MonitorSession::EstimateOn(std::uint64_t end, std::size_t size)
{
    Estimate estimate;
    estimate.start = end - size;
    estimate.end = end;
    const auto last = latest_.end() - static_cast<std::ptrdiff_t>(received_ - end);
    estimate.window.assign(last - static_cast<std::ptrdiff_t>(size), last);
    estimate.run = RunLibrary(settings_.constants, settings_.settings, estimate.window, settings_.keepStageOutputs);
    return estimate;
}

}  // namespace qzkit
