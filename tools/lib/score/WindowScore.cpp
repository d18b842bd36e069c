// SPDX-License-Identifier: Apache-2.0
#include "score/WindowScore.h"

#include <algorithm>
#include <optional>

#include "run/StageDelays.h"

namespace qzkit {
namespace {

double Seconds(std::size_t sample, double rate)
{
    return static_cast<double>(sample) / rate;
}

}  // namespace

std::vector<double> FoundBeatTimes(const ResultRecord &estimate, const BeatWindow &window)
{
    const std::size_t stored = std::min<std::size_t>(estimate.peakCount, estimate.peakLocations.size());
    std::vector<double> times;
    times.reserve(stored);
    for (std::size_t i = 0; i < stored; ++i) {
        const std::optional<std::size_t> sample = BeatSample(estimate.peakLocations[i], window.peakDelay);
        if (sample && *sample < window.length) {
            times.push_back(Seconds(window.start + *sample, window.rate));
        }
    }
    return times;
}

WindowBeatScore ScoreWindowBeats(const ResultRecord &estimate, const BeatWindow &window,
                                 const std::vector<double> &reference)
{
    WindowBeatScore score;
    const std::vector<double> found = FoundBeatTimes(estimate, window);
    score.found = found.size();
    score.truncated = estimate.peakCount > estimate.peakLocations.size();
    const std::size_t unseenAtEnd = std::min(window.peakDelay, window.length);
    CountedSpan counted;
    counted.from = Seconds(window.start, window.rate) + kBeatMatchToleranceSeconds;
    counted.until = std::min(Seconds(window.start + window.length - unseenAtEnd, window.rate),
                             Seconds(window.start + window.length, window.rate) - kBeatMatchToleranceSeconds);
    if (score.truncated && !found.empty()) {
        counted.until = std::min(counted.until, found.back() + kBeatMatchToleranceSeconds);
    }
    score.counts = MatchBeats(found, reference, counted);
    return score;
}

}  // namespace qzkit
