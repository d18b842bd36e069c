// SPDX-License-Identifier: Apache-2.0
// High-pass filter: an integer numerator whose taps sum to zero, followed by
// a single-precision three-tap feedback. The output is offset by 500 so that
// zero lands near mid-scale, and saturated to the 10-bit range.
#include <qz_vozozi_DE/QZ_Filters.h>

#include "FloatTruncation.h"
#include "PackedGroup.h"
#include "SampleWindow.h"

namespace qz {

namespace {

constexpr unsigned HPF_HISTORY = 3u;
constexpr unsigned HPF_WINDOW = HPF_HISTORY + QZ_GROUP_SAMPLES;
constexpr unsigned HPF_FEEDBACK = 3u;
constexpr int HPF_OFFSET = 500;
constexpr int HPF_LOWEST = -HPF_OFFSET;                                  // filter value mapped to 0
constexpr INT32 HPF_HIGHEST = static_cast<INT32>(QZ_SAMPLE_MAX) - HPF_OFFSET;  // mapped to 1023

// The filter's coefficients, copied out of HeartSampling once per run: the
// buffer's byte stores could otherwise alias them and force a reload per sample.
struct HighPassCoefficients {
    INT32 B0;
    INT32 B1;
    float A[HPF_FEEDBACK];
};

// Numerator for window position w[3]: B0*w[3] - B1*w[2] + B1*w[1] - B0*w[0],
// formed in 32 bits and reduced to signed 16 bits by a modular cast (it only
// wraps when B0 + B1 > 32). Every term is below 2^18, so the 32-bit sum is
// exact and B0*(w[3] - w[0]) - B1*(w[2] - w[1]) is the same number.
INT16 Numerator(const UINT16 *w, const HighPassCoefficients &k)
{
    const INT32 sum = k.B0 * (static_cast<INT32>(w[3]) - static_cast<INT32>(w[0])) -
                      k.B1 * (static_cast<INT32>(w[2]) - static_cast<INT32>(w[1]));
    return static_cast<INT16>(static_cast<UINT16>(sum));
}

// y = Res - A0*y[n-1] - A1*y[n-2] - A2*y[n-3], each product and difference
// rounded to float in this order; feedbackResult[2] is the most recent value.
float FeedbackValue(INT16 Res, const float *feedbackResult, const HighPassCoefficients &k)
{
    float Result = static_cast<float>(Res) - k.A[0] * feedbackResult[2];
    Result = Result - k.A[1] * feedbackResult[1];
    Result = Result - k.A[2] * feedbackResult[0];
    return Result;
}

// Maps a filter value to a sample: trunc(Result) + 500, saturated to 0..1023
// (Result >= 524 gives 1023, Result <= -501 gives 0); NaN gives 500.
UINT16 HighPassOutput(float Result)
{
    return static_cast<UINT16>(TruncateSaturated(Result, HPF_LOWEST, HPF_HIGHEST, 0) + HPF_OFFSET);
}

}  // namespace

// Filters the buffer in place, group by group. The window holds the three raw
// input samples before the current group (the first sample stands in for those
// before the buffer); the recursion runs only through the three unclipped
// filter values, which start at 0. Output n = HighPassOutput(y[n]); the first
// output is always 500. `median` and `MaxAmplitude` are not used.
void HighPassFilter(BYTE *BufferPtr, const UINT16 *median, const UINT16 *MaxAmplitude)
{
    (void)median;
    (void)MaxAmplitude;
    UINT16 tmpData[HPF_WINDOW];
    ReadGroupAt(BufferPtr, 0, &tmpData[HPF_HISTORY]);
    FillWindowStart(tmpData, HPF_HISTORY, tmpData[HPF_HISTORY]);
    float feedbackResult[HPF_FEEDBACK] = {0.0f, 0.0f, 0.0f};
    const HighPassCoefficients k{HeartSampling.HPFConstantsB[0], HeartSampling.HPFConstantsB[1],
                                 {HeartSampling.HPFConstantsA[0], HeartSampling.HPFConstantsA[1],
                                  HeartSampling.HPFConstantsA[2]}};
    const UINT16 length = CalcHeart_BufferLength;

    UINT16 BufferIndex = 0;
    while (BufferIndex < length) {
        ReadGroup(BufferPtr, BufferIndex, &tmpData[HPF_HISTORY]);
        UINT16 output[QZ_GROUP_SAMPLES];
        #pragma GCC unroll 4  // see PackedGroup.h
        for (BYTE j = 0; j < QZ_GROUP_SAMPLES; ++j) {
            const float Result = FeedbackValue(Numerator(&tmpData[j], k), feedbackResult, k);
            feedbackResult[0] = feedbackResult[1];
            feedbackResult[1] = feedbackResult[2];
            feedbackResult[2] = Result;
            output[j] = HighPassOutput(Result);
        }
        WriteGroupBack(BufferPtr, BufferIndex, output);
        SlideWindow(tmpData);
    }
}

}  // namespace qz
