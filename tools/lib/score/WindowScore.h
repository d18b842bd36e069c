// SPDX-License-Identifier: Apache-2.0
// The beat score of one window: the peaks the estimator stored, moved back
// onto the recording by the stage delays, against the reference beats of the
// window, with one rule for the beats near the window's edges.
#ifndef QZKIT_WINDOW_SCORE_H
#define QZKIT_WINDOW_SCORE_H

#include <cstddef>
#include <vector>

#include "io/ResultRecord.h"
#include "score/BeatMatch.h"

namespace qzkit {

// Where a window lies on its recording, and how far the stages that ran
// shift a beat's peak (PeakDelay).
struct BeatWindow {
    std::size_t start = 0;  // first sample of the window on the recording
    std::size_t length = 0;
    double rate = 0.0;
    std::size_t peakDelay = 0;
};

struct WindowBeatScore {
    BeatCounts counts;
    std::size_t found = 0;   // found beats inside the window
    bool truncated = false;  // more peaks found than stored: scored up to the last stored one
};

// The stored peaks (the first peak-count of them) as recording times in
// seconds, each moved back by the peak delay; peaks whose beat would lie
// outside the window are left out.
std::vector<double> FoundBeatTimes(const ResultRecord &estimate, const BeatWindow &window);

// Found beats against `reference` (ascending recording times in seconds, the
// beats inside the window). The edge rule: a beat of either kind within the
// match tolerance of the window's start, or of its end, or in its last
// peak-delay samples, counts only when matched. Near the start a found beat
// may belong to a reference beat just before the window and a reference beat
// is seen only in part; near the end the same holds, and a beat whose peak
// the stages move past the end of the buffer cannot be reported at all. When
// the estimator found more peaks than it stores, reference beats after the
// last stored beat (plus the tolerance) count only when matched, so the
// window is scored on the stretch its stored peaks cover.
WindowBeatScore ScoreWindowBeats(const ResultRecord &estimate, const BeatWindow &window,
                                 const std::vector<double> &reference);

}  // namespace qzkit

#endif
