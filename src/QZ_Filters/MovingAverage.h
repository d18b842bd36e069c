// SPDX-License-Identifier: Apache-2.0
// Nine-sample moving average stage. One group at a time, for StageChain.h.
#ifndef QZ_MOVING_AVERAGE_H
#define QZ_MOVING_AVERAGE_H

#include "PackedGroup.h"
#include "SampleWindow.h"

namespace qz {

constexpr unsigned AVERAGE_HISTORY = 8u;
constexpr unsigned AVERAGE_WINDOW = AVERAGE_HISTORY + QZ_GROUP_SAMPLES;
constexpr unsigned AVERAGE_LENGTH = 9u;
constexpr unsigned AVERAGE_FIRST_GROUP = AVERAGE_HISTORY - QZ_GROUP_SAMPLES;

// Replaces each sample by the mean of the nine window values ending at it,
// rounded down. The window starts as four copies of the first sample followed
// by the first group, so the first group is counted twice in the first two
// groups' windows. The last group of the buffer is never read: its positions
// repeat the sample before it. Away from both ends, output n is the mean of
// inputs n-8..n.
struct AverageStage {
    INT32 lastGroup = 0;  // byte offset of the last group
    UINT16 window[AVERAGE_WINDOW] = {};
    // A running sum: `history` is the sum of window positions j..j+7, so output
    // j is (history + window[j + 8]) / 9, and dropping window[j] moves it on
    // to j + 1. The sums are exact (at most 9 x 1023, no wrap), so every output
    // is the same as summing its nine values afresh.
    UINT16 history = 0;

    void Start(const UINT16 *group)
    {
        history = 0;
        for (BYTE k = 0; k < AVERAGE_HISTORY; ++k) {
            const UINT16 value = (k < AVERAGE_FIRST_GROUP) ? group[0] : group[k - AVERAGE_FIRST_GROUP];
            window[k] = value;
            history = static_cast<UINT16>(history + value);
        }
    }

    void Step(UINT16 *group, UINT16 offset)
    {
        const bool read = static_cast<INT32>(offset) < lastGroup;
        #pragma GCC unroll 4  // see PackedGroup.h
        for (BYTE j = 0; j < QZ_GROUP_SAMPLES; ++j) {
            window[AVERAGE_HISTORY + j] = read ? group[j] : window[AVERAGE_HISTORY - 1u];
        }
        #pragma GCC unroll 4  // see PackedGroup.h
        for (BYTE j = 0; j < QZ_GROUP_SAMPLES; ++j) {
            const UINT16 sum = static_cast<UINT16>(history + window[j + AVERAGE_HISTORY]);
            group[j] = static_cast<UINT16>(sum / AVERAGE_LENGTH);
            history = static_cast<UINT16>(sum - window[j]);
        }
        SlideWindow(window);
    }
};

struct SquareStage;

// `square` (left alone when it is a default SquareStage), then both moving
// averages, in one walk: the pipeline's smoothing when no dump is written
// between squaring and averaging, and DoubleMovingAverage.
void SquareAndAverages(BYTE *BufferPtr, const SquareStage &square);

}  // namespace qz

#endif
