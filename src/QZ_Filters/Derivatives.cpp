// SPDX-License-Identifier: Apache-2.0
// Slope-energy stages: the magnitude of a small integer derivative, and the
// scaling and squaring that stretch it over the 10-bit range (SquareStage,
// Derivatives.h, for the walk it shares with the moving averages).
#include "Derivatives.h"

#include <qz_vozozi_DE/QZ_Filters.h>

#include "PackedGroup.h"
#include "SampleWindow.h"
#include "StageChain.h"

namespace qz {

namespace {

constexpr unsigned DERIVATIVE_HISTORY = 4u;
constexpr unsigned DERIVATIVE_WINDOW = DERIVATIVE_HISTORY + QZ_GROUP_SAMPLES;

// |x[n] - x[n-1]| / 8, rounded down: 0..127.
UINT16 TwoPointMagnitude(const UINT16 *x)
{
    INT32 tmpResult = static_cast<INT32>(x[4]) - static_cast<INT32>(x[3]);
    if (tmpResult < 0) {
        tmpResult = -tmpResult;
    }
    return static_cast<UINT16>(tmpResult / 8);
}

// |x[n] + x[n-1] - x[n-3] - x[n-4]| / 8 with the division truncating toward
// zero before the magnitude is taken: 0..255.
UINT16 FivePointMagnitude(const UINT16 *x)
{
    INT32 tmpResult = static_cast<INT32>(x[4]) + static_cast<INT32>(x[3]) - static_cast<INT32>(x[1]) -
                      static_cast<INT32>(x[0]);
    tmpResult /= 8;
    if (tmpResult < 0) {
        tmpResult = -tmpResult;
    }
    return static_cast<UINT16>(tmpResult);
}

// Replaces every sample in place by formula() over it and the four input
// samples before it (the first sample stands in for those before the buffer;
// outputs never enter the window). Returns the largest output, at least 1.
// The formula, the output for the newest of five window samples x[n-4]..x[n]
// (x points at x[n-4]), is a template argument so that it is inlined.
template <UINT16 (*formula)(const UINT16 *x)>
UINT16 ApplyDerivative(BYTE *BufferPtr)
{
    UINT16 tmpData[DERIVATIVE_WINDOW];
    ReadGroupAt(BufferPtr, 0, &tmpData[DERIVATIVE_HISTORY]);
    FillWindowStart(tmpData, DERIVATIVE_HISTORY, tmpData[DERIVATIVE_HISTORY]);
    UINT16 currentMax = 0;

    const UINT16 length = CalcHeart_BufferLength;
    UINT16 BufferIndex = 0;
    while (BufferIndex < length) {
        ReadGroup(BufferPtr, BufferIndex, &tmpData[DERIVATIVE_HISTORY]);
        UINT16 output[QZ_GROUP_SAMPLES];
        #pragma GCC unroll 4  // see PackedGroup.h
        for (BYTE j = 0; j < QZ_GROUP_SAMPLES; ++j) {
            output[j] = formula(&tmpData[j]);
            if (output[j] > currentMax) {
                currentMax = output[j];
            }
        }
        WriteGroupBack(BufferPtr, BufferIndex, output);
        SlideWindow(tmpData);
    }
    return (currentMax == 0u) ? static_cast<UINT16>(1u) : currentMax;
}

}  // namespace

// Two-point derivative magnitude in place: y[n] = |x[n] - x[n-1]| / 8 (0..127,
// y[0] = 0). Returns the largest output, at least 1.
UINT16 Derivative2point(BYTE *BufferPtr)
{
    return ApplyDerivative<TwoPointMagnitude>(BufferPtr);
}

// Five-point derivative magnitude in place, weights +1 +1 0 -1 -1:
// y[n] = |x[n] + x[n-1] - x[n-3] - x[n-4]| / 8 (0..255, y[0] = 0). Returns
// the largest output, at least 1.
UINT16 Derivative5point(BYTE *BufferPtr)
{
    return ApplyDerivative<FivePointMagnitude>(BufferPtr);
}

// Scales and squares every sample in place (see SquareStage). A sample above
// maxval saturates at v = 1023.
void SquareScale(BYTE *BufferPtr, UINT16 maxval)
{
    SquareStage stage = SquareSetUp(maxval);
    RunStageChain(BufferPtr, stage);
}

}  // namespace qz
