#include "evaluate/WindowBeats.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "run/StageDelays.h"

namespace qzkit {
namespace {

std::vector<double> FoundBeatTimes(const ResultRecord &estimate, std::size_t peakDelay, const ManifestEntry &window)
{
    std::vector<double> times;
    for (const std::uint16_t location : estimate.peakLocations) {
        const std::optional<std::size_t> sample = BeatSample(location, peakDelay);
        if (sample) {
            times.push_back(static_cast<double>(window.startSample + *sample) / window.rate);
        }
    }
    return times;
}

std::vector<double> ReferenceBeatTimes(const ReferenceBeats &beats, const WindowReference &reference)
{
    std::vector<double> times;
    for (std::size_t i = reference.firstBeat; i < reference.firstBeat + reference.beats; ++i) {
        times.push_back(beats.ticks[i] / beats.ticksPerSecond);
    }
    return times;
}

}  // namespace

WindowBeatScore ScoreWindowBeats(const ResultRecord &estimate, std::size_t peakDelay, const ManifestEntry &window,
                                 const ReferenceBeats &beats, const WindowReference &reference)
{
    WindowBeatScore score;
    const std::vector<double> found = FoundBeatTimes(estimate, peakDelay, window);
    std::vector<double> expected = ReferenceBeatTimes(beats, reference);
    score.truncated = estimate.peakCount > estimate.peakLocations.size();
    if (score.truncated && !found.empty()) {
        const double scoredUntil = found.back() + kBeatMatchToleranceSeconds;
        std::erase_if(expected, [scoredUntil](double time) { return time > scoredUntil; });
    }
    const double unreachableFrom =
        static_cast<double>(window.startSample + window.samples - std::min(peakDelay, window.samples)) / window.rate;
    score.counts = MatchBeats(found, expected, kBeatMatchToleranceSeconds, unreachableFrom);
    return score;
}

}  // namespace qzkit
