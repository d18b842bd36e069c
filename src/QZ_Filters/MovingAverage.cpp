// Nine-sample moving average and the absolute distance from a median, both in
// place over the packed buffer.
#include "PackedGroup.h"
#include "QZ_Filters.h"
#include "SampleWindow.h"

namespace {

constexpr unsigned AVERAGE_HISTORY = 8u;
constexpr unsigned AVERAGE_WINDOW = AVERAGE_HISTORY + QZ_GROUP_SAMPLES;
constexpr unsigned AVERAGE_LENGTH = 9u;

// Loads the newest group into positions 8..11 and advances BufferIndex by 5.
// The last group of the buffer (at byte offset `lastGroup`) is never read:
// its positions repeat the sample before it (position 7).
void LoadNewestGroup(const BYTE *BufferPtr, UINT16 &BufferIndex, UINT16 *tmpData, INT32 lastGroup)
{
    if (static_cast<INT32>(BufferIndex) < lastGroup) {
        ReadGroup(BufferPtr, BufferIndex, &tmpData[AVERAGE_HISTORY]);
        return;
    }
    for (BYTE i = 0; i < QZ_GROUP_SAMPLES; ++i) {
        tmpData[AVERAGE_HISTORY + i] = tmpData[AVERAGE_HISTORY - 1u];
    }
    BufferIndex = static_cast<UINT16>(BufferIndex + QZ_GROUP_BYTES);
}

// Sum of window positions 0..7, the part of the first output's window before
// the newest group.
UINT16 HistorySum(const UINT16 *tmpData)
{
    UINT16 sum = 0;
    for (BYTE k = 0; k < AVERAGE_HISTORY; ++k) {
        sum = static_cast<UINT16>(sum + tmpData[k]);
    }
    return sum;
}

}  // namespace

// Replaces each sample by the mean of the nine window values ending at it,
// rounded down. The window starts as four copies of the first sample followed
// by the first group, so the first group is counted twice in the first two
// groups' windows; the last group is not read (see LoadNewestGroup). Away
// from both ends, output n is the mean of inputs n-8..n.
void MovingAverage(BYTE *BufferPtr)
{
    UINT16 tmpData[AVERAGE_WINDOW];
    const BYTE firstGroup = AVERAGE_HISTORY - QZ_GROUP_SAMPLES;
    ReadGroupAt(BufferPtr, 0, &tmpData[firstGroup]);
    FillWindowStart(tmpData, firstGroup, tmpData[firstGroup]);

    // A running sum: `history` is the sum of window positions j..j+7, so output
    // j is (history + tmpData[j + 8]) / 9, and dropping tmpData[j] moves it on
    // to j + 1. The sums are exact (at most 9 x 1023, no wrap), so every output
    // is the same as summing its nine values afresh.
    UINT16 history = HistorySum(tmpData);
    const UINT16 length = CalcHeart_BufferLength;
    const INT32 lastGroup = static_cast<INT32>(length) - static_cast<INT32>(QZ_GROUP_BYTES);
    UINT16 BufferIndex = 0;
    while (BufferIndex < length) {
        LoadNewestGroup(BufferPtr, BufferIndex, tmpData, lastGroup);
        UINT16 tmpResult[QZ_GROUP_SAMPLES];
        #pragma GCC unroll 4  // see QZ_GROUP_SAMPLES
        for (BYTE j = 0; j < QZ_GROUP_SAMPLES; ++j) {
            const UINT16 sum = static_cast<UINT16>(history + tmpData[j + AVERAGE_HISTORY]);
            tmpResult[j] = static_cast<UINT16>(sum / AVERAGE_LENGTH);
            history = static_cast<UINT16>(sum - tmpData[j]);
        }
        WriteGroupBack(BufferPtr, BufferIndex, tmpResult);
        SlideWindow(tmpData);
    }
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
