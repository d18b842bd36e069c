// SPDX-License-Identifier: Apache-2.0
// Moving averages over the packed buffer in place: one pass, or the
// pipeline's two in one walk (AverageStage, MovingAverage.h), and the
// absolute distance from a median.
#include "MovingAverage.h"

#include <qz_vozozi_DE/QZ_Filters.h>

#include "Derivatives.h"
#include "StageChain.h"

namespace qz {

namespace {

// The stage for the buffer's length.
AverageStage AverageSetUp(void)
{
    AverageStage stage;
    stage.lastGroup = static_cast<INT32>(CalcHeart_BufferLength) - static_cast<INT32>(QZ_GROUP_BYTES);
    return stage;
}

}  // namespace

// One nine-sample moving average in place (see AverageStage). Away from both
// ends of the buffer, output n is the mean of inputs n-8..n.
void MovingAverage(BYTE *BufferPtr)
{
    AverageStage stage = AverageSetUp();
    RunStageChain(BufferPtr, stage);
}

void SquareAndAverages(BYTE *BufferPtr, const SquareStage &square)
{
    SquareStage squaring = square;
    AverageStage firstPass = AverageSetUp();
    AverageStage secondPass = AverageSetUp();
    RunStageChain(BufferPtr, squaring, firstPass, secondPass);
}

// MovingAverage twice, in one walk over the buffer.
void DoubleMovingAverage(BYTE *BufferPtr)
{
    SquareAndAverages(BufferPtr, SquareStage{});
}

// Replaces each sample v by |v - *median|, saturated at 1023 (reached only
// for a median above 1023); samples are handled independently.
void AbsSubtractMedian(BYTE *BufferPtr, const UINT16 *median)
{
    UINT16 BufferIndex = 0;
    UINT16 tmpData[QZ_GROUP_SAMPLES];
    while (BufferIndex < CalcHeart_BufferLength) {
        ReadGroup(BufferPtr, BufferIndex, tmpData);
        for (BYTE i = 0; i < QZ_GROUP_SAMPLES; ++i) {
            INT32 tmpResult = static_cast<INT32>(tmpData[i]) - static_cast<INT32>(*median);
            if (tmpResult < 0) {
                tmpResult = -tmpResult;
            }
            tmpData[i] = (tmpResult > static_cast<INT32>(QZ_SAMPLE_MAX)) ? static_cast<UINT16>(QZ_SAMPLE_MAX)
                                                                         : static_cast<UINT16>(tmpResult);
        }
        WriteGroupBack(BufferPtr, BufferIndex, tmpData);
    }
}

}  // namespace qz
