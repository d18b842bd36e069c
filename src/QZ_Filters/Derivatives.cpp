// SPDX-License-Identifier: Apache-2.0
// Derivative stages: the magnitude of a small integer derivative, the first
// half of the slope energy that squaring (Squaring.h) completes.
#include <qz_vozozi_DE/QZ_Filters.h>

#include "PackedGroup.h"
#include "SampleWindow.h"
#include "StageWalk.h"

namespace qz {

namespace {

constexpr unsigned DERIVATIVE_HISTORY = 4u;

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

// A derivative's turn on one group, inputs 0..1023 to outputs 0..255.
// Replaces every sample by formula() over it and the four input samples
// before it (the first sample stands in for those before the buffer; outputs
// never enter the window) and keeps the largest output. The formula, the
// output for the newest of five window samples x[n-4]..x[n] (x points at
// x[n-4]), is a template argument so that it is inlined. Exact integer
// arithmetic: nothing wraps or saturates.
template <UINT16 (*formula)(const UINT16 *x)>
struct DerivativeStage {
    SampleWindow<UINT16, DERIVATIVE_HISTORY> window;
    UINT16 largest = 0;

    void Start(const UINT16 *group)
    {
        window.Start(group[0]);
    }

    void Step(UINT16 *group, UINT16)
    {
        #pragma GCC unroll 4  // see PackedGroup.h
        for (BYTE j = 0; j < QZ_GROUP_SAMPLES; ++j) {
            group[j] = formula(window.Take(j, group[j]));
            largest = (group[j] > largest) ? group[j] : largest;
        }
        window.Slide();
    }
};

// Walks the derivative over the buffer; returns its largest output, at least 1.
template <UINT16 (*formula)(const UINT16 *x)>
UINT16 ApplyDerivative(BYTE *BufferPtr)
{
    DerivativeStage<formula> stage;
    WalkStages(BufferPtr, stage);
    return (stage.largest == 0u) ? static_cast<UINT16>(1u) : stage.largest;
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

}  // namespace qz
