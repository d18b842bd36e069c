// SPDX-License-Identifier: Apache-2.0
// Low-pass filter: a symmetric nine-tap integer FIR over the median-removed
// input, scaled by the buffer amplitude and re-centred on the median.
#include <stdio.h>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "FloatTruncation.h"
#include "PackedGroup.h"
#include "SampleWindow.h"

namespace qz {

namespace {

constexpr unsigned LPF_TAPS = 5u;
constexpr unsigned LPF_HISTORY = 8u;
constexpr unsigned LPF_WINDOW = LPF_HISTORY + QZ_GROUP_SAMPLES;
constexpr float LPF_SCALE_DENOMINATOR = 450.0f;
constexpr int LPF_SCALE_MAX = 65535;

// The largest possible product (255 / 450 * 65535, about 37136) fits the
// 16-bit scaling value, so the saturation below never takes effect.
static_assert(255.0f / LPF_SCALE_DENOMINATOR * 65535.0f < static_cast<float>(LPF_SCALE_MAX),
              "the low-pass scaling value must fit 16 bits");

// S = (LPFPostscale / 450) * amplitude in single precision, each step rounded
// to float, truncated toward zero; 0 becomes 1 so that S is a safe divisor.
UINT16 ScalingValue(UINT16 amplitude)
{
    const float factor = static_cast<float>(HeartSampling.LPFPostscale) / LPF_SCALE_DENOMINATOR;
    const float product = factor * static_cast<float>(amplitude);
    const UINT16 S = static_cast<UINT16>(TruncateSaturated(product, 0, LPF_SCALE_MAX, 0));
    return (S == 0u) ? static_cast<UINT16>(1u) : S;
}

void PrintFilterSettings(UINT16 median, UINT16 S)
{
    printf("In LowPassFilter: Median is %d and Scaling Value is %d\n", median, S);
    printf("LPF is:  PS:%d, ", HeartSampling.LPFPostscale);
    for (BYTE i = 0; i < LPF_TAPS; ++i) {
        printf("a[%d]:%4d, ", i, HeartSampling.LPFConstants[i]);
    }
    putchar('\n');
}

INT16 SubtractMedian(UINT16 sample, UINT16 median)
{
    return static_cast<INT16>(static_cast<INT32>(sample) - static_cast<INT32>(median));
}

// Output for window position w[8] (w points at the oldest of its nine
// inputs): c4*w[4] + sum over t < 4 of c_t*(w[8 - t] + w[t]), in 32 bits
// (at most 9 * 128 * 32768 in magnitude), divided by S truncating toward
// zero, plus the median, clamped to 0..1023. `c` holds the five taps.
UINT16 FilteredSample(const INT16 *w, const INT32 *c, INT32 median, INT32 S)
{
    const INT32 sum = c[4] * w[4] + c[0] * (w[8] + w[0]) + c[1] * (w[7] + w[1]) + c[2] * (w[6] + w[2]) +
                      c[3] * (w[5] + w[3]);
    const INT32 value = sum / S + median;
    if (value > static_cast<INT32>(QZ_SAMPLE_MAX)) {
        return QZ_SAMPLE_MAX;
    }
    return (value < 0) ? static_cast<UINT16>(0u) : static_cast<UINT16>(value);
}

}  // namespace

// Filters the buffer in place, group by group. *MaxAmplitude (the amplitude
// about the median) is replaced by the scaling value S >= 1 it yields. The
// window holds the eight input samples before the current group (the first
// sample stands in for those before the buffer) minus *median as signed
// 16-bit values; outputs never enter it. Output n = clamp(trunc(FIR(n) / S)
// + median, 0, 1023), centred on input n - 4. Prints two lines when LogLevel > 3.
void LowPassFilter(BYTE *BufferPtr, const UINT16 *median, UINT16 *MaxAmplitude)
{
    const UINT16 S = ScalingValue(*MaxAmplitude);
    *MaxAmplitude = S;
    if (LogLevel > 3u) {
        PrintFilterSettings(*median, S);
    }

    // The taps and settings are copied into locals once: the buffer's byte
    // stores could otherwise alias them and force a reload per sample.
    // The taps are signed coefficients: widening keeps their sign on purpose.
    INT32 taps[LPF_TAPS];
    for (BYTE t = 0; t < LPF_TAPS; ++t) {
        taps[t] = static_cast<INT32>(HeartSampling.LPFConstants[t]);  // NOLINT(bugprone-signed-char-misuse,cert-str34-c)
    }
    const UINT16 centre = *median;
    const UINT16 length = CalcHeart_BufferLength;

    UINT16 group[QZ_GROUP_SAMPLES];
    ReadGroupAt(BufferPtr, 0, group);
    INT16 tmpData[LPF_WINDOW];
    FillWindowStart(tmpData, LPF_HISTORY, SubtractMedian(group[0], centre));

    UINT16 BufferIndex = 0;
    while (BufferIndex < length) {
        ReadGroup(BufferPtr, BufferIndex, group);
        UINT16 tmpResult[QZ_GROUP_SAMPLES];
        #pragma GCC unroll 4  // see PackedGroup.h
        for (BYTE j = 0; j < QZ_GROUP_SAMPLES; ++j) {
            tmpData[LPF_HISTORY + j] = SubtractMedian(group[j], centre);
            tmpResult[j] = FilteredSample(&tmpData[j], taps, centre, S);
        }
        WriteGroupBack(BufferPtr, BufferIndex, tmpResult);
        SlideWindow(tmpData);
    }
}

}  // namespace qz
