// SPDX-License-Identifier: Apache-2.0
// Moving averages over the packed buffer in place: one pass, or the
// pipeline's two in one walk (AverageStage, MovingAverage.h), and the
// absolute distance from a median.
#include "MovingAverage.h"

#include <qz_vozozi_DE/QZ_Filters.h>

#include "Squaring.h"
#include "StageWalk.h"

namespace qz {

namespace {

// The stage for the buffer's length.
AverageStage AverageSetUp(void)
{
    AverageStage stage;
    stage.lastGroup = static_cast<INT32>(CalcHeart_BufferLength) - static_cast<INT32>(QZ_GROUP_BYTES);
    return stage;
}

// The distance from a median's turn on one group, inputs 0..1023 to outputs
// 0..1023; keeps nothing between groups. Each sample v becomes |v - median|,
// saturated at 1023 (reached only for a median above 1023).
struct MedianDistanceStage {
    UINT16 median;

    void Start(const UINT16 *) {}

    void Step(UINT16 *group, UINT16) const
    {
        for (BYTE i = 0; i < QZ_GROUP_SAMPLES; ++i) {
            INT32 distance = static_cast<INT32>(group[i]) - static_cast<INT32>(median);
            if (distance < 0) {
                distance = -distance;
            }
            group[i] = (distance > static_cast<INT32>(QZ_SAMPLE_MAX)) ? static_cast<UINT16>(QZ_SAMPLE_MAX)
                                                                       : static_cast<UINT16>(distance);
        }
    }
};

}  // namespace

// One nine-sample moving average in place (see AverageStage). Away from both
// ends of the buffer, output n is the mean of inputs n-8..n.
void MovingAverage(BYTE *BufferPtr)
{
    AverageStage stage = AverageSetUp();
    WalkStages(BufferPtr, stage);
}

void SquareAndAverages(BYTE *BufferPtr, const SquareStage &square)
{
    SquareStage squaring = square;
    AverageStage firstPass = AverageSetUp();
    AverageStage secondPass = AverageSetUp();
    WalkStages(BufferPtr, squaring, firstPass, secondPass);
}

// MovingAverage twice, in one walk over the buffer.
void DoubleMovingAverage(BYTE *BufferPtr)
{
    SquareAndAverages(BufferPtr, SquareStage{});
}

// Replaces each sample v by |v - *median| (see MedianDistanceStage).
void AbsSubtractMedian(BYTE *BufferPtr, const UINT16 *median)
{
    MedianDistanceStage stage{*median};
    WalkStages(BufferPtr, stage);
}

}  // namespace qz
