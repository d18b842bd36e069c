// Beat-by-beat score of one window: the peaks the estimator stored, moved
// back onto the recording by the stage delays, against the reference beats
// inside the window.
#ifndef QZKIT_WINDOW_BEATS_H
#define QZKIT_WINDOW_BEATS_H

#include <cstddef>

#include "score/BeatMatch.h"
#include "io/Manifest.h"
#include "io/ReferenceBeats.h"
#include "io/ResultRecord.h"

namespace qzkit {

struct WindowBeatScore {
    BeatCounts counts;
    bool truncated = false;  // more peaks found than stored: scored up to the last stored one
};

// `peakDelay` is the shift of the stages that ran (PeakDelay). A reference
// beat in the window's last `peakDelay` samples counts only when found: its
// peak would come after the end of the buffer, so no run has to report it. When
// the estimator found more peaks than it stores, reference beats after the
// last stored beat (plus the match tolerance) are left out too, so the
// window is scored on the stretch its stored peaks cover.
WindowBeatScore ScoreWindowBeats(const ResultRecord &estimate, std::size_t peakDelay, const ManifestEntry &window,
                                 const ReferenceBeats &beats, const WindowReference &reference);

}  // namespace qzkit

#endif
