// SPDX-License-Identifier: Apache-2.0
// CalculateHeartRate: runs the stages selected by the mask over the packed
// buffer in place, in a fixed order, and returns the result word
// (BPM in bits 0-9, QI in bits 10-15).
#include <stdio.h>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "Derivatives.h"
#include "LogAddress.h"
#include "MovingAverage.h"
#include "PipelineState.h"

namespace qz {

namespace {

#if QZ_STAGE_DUMPS
// Unpacked image of the buffer for the stage dump files; between dumps it
// holds the buffer statistics' counts per sample value.
UINT16 convertedBuffer[QZ_MAX_SAMPLES];
static_assert(QZ_MAX_SAMPLES >= QZ_SAMPLE_VALUES, "the dump image must hold the statistics' counts");
#else
UINT16 sampleValueCounts[QZ_SAMPLE_VALUES];
#endif

bool StageSelected(BYTE Selector, QZ_StageBit stage)
{
    return (Selector & stage) != 0u;
}

// Whether the stage dumps are written: only with stage dumps built in and a
// record name (not a null pointer).
bool WritesStageDumps(const char *recordName)
{
    return QZ_STAGE_DUMPS && recordName != nullptr;
}

// Writes the whole buffer, unpacked to 16-bit samples, to recordName + extension.
// A failed write does not stop the run. Does nothing when no dumps are
// written: then nothing is unpacked either.
void WriteStageDump(const BYTE *BufferPtr, const char *recordName, const char *extension)
{
#if QZ_STAGE_DUMPS
    if (!WritesStageDumps(recordName)) {
        return;
    }
    hlp_convertPackedToUnpacked(BufferPtr, convertedBuffer);
    (void)hlp_writeBinaryDataFile(recordName, extension, convertedBuffer, SampleCount, sizeof(UINT16));
#else
    (void)BufferPtr;
    (void)recordName;
    (void)extension;
#endif
}

// Smallest and largest sample, their sum in Tegrun, and the median, from
// one pass over the buffer.
void BufferStatistics(const BYTE *BufferPtr)
{
    MinMaxMedian(BufferPtr, &CalcHeart_BufferMin, &CalcHeart_BufferMax, &CalcHeart_BufferMedian);
}

// Statistics of the raw buffer, then the low-pass filter scaled by the larger
// one-sided amplitude about the median.
void LowPassStage(BYTE *BufferPtr)
{
    BufferStatistics(BufferPtr);
    const UINT16 AmpUp = static_cast<UINT16>(CalcHeart_BufferMax - CalcHeart_BufferMedian);
    const UINT16 AmpDown = static_cast<UINT16>(CalcHeart_BufferMedian - CalcHeart_BufferMin);
    if (LogLevel > 3u) {
        printf("Before Lowpass: Min: %3d, Max: %3d, Median: %3d, AmpUp: %3d, AmpDown: %3d\n", CalcHeart_BufferMin,
               CalcHeart_BufferMax, CalcHeart_BufferMedian, AmpUp, AmpDown);
    }
    CalcHeart_BufferAmplitude = (AmpDown > AmpUp) ? AmpDown : AmpUp;
    LowPassFilter(BufferPtr, &CalcHeart_BufferMedian, &CalcHeart_BufferAmplitude);
}

// Statistics of the conditioned buffer, then peak finding; publishes the
// unlimited count and all 25 locations.
BYTE PeakStage(const BYTE *BufferPtr, UINT16 *intervals)
{
    BufferStatistics(BufferPtr);
    CalcHeart_BufferAmplitude = PeakThreshold(CalcHeart_BufferMin, CalcHeart_BufferMax);
    BYTE Peaks = FindPeaks(BufferPtr, &CalcHeart_BufferAmplitude, intervals);
    GloballyAccessiblePeaks = Peaks;
    for (int idx = 0; idx < static_cast<int>(QZ_MAX_PEAKS); ++idx) {
        GloballyAccessibleIntervals[idx] = intervals[idx];
    }
    if (LogLevel > 2u) {
        printf("Peaks found %d stored at " QZ_ADDRESS_FORMAT "\n", Peaks, LowAddressBits(&Peaks));
    }
    return Peaks;
}

// Squaring scaled by CalcHeart_BufferMax, and the two moving averages.
// Without dumps, squaring joins the averages' walk.
void SmoothingStages(BYTE *BufferPtr, BYTE Selector, const char *recordName)
{
    const bool square = StageSelected(Selector, QZ_STAGE_SQUARE);
    const bool average = StageSelected(Selector, QZ_STAGE_AVERAGE);
    if (average && !WritesStageDumps(recordName)) {
        SquareAndAverages(BufferPtr, square ? SquareSetUp(CalcHeart_BufferMax) : SquareStage{});
        return;
    }
    if (square) {
        SquareScale(BufferPtr, CalcHeart_BufferMax);
        WriteStageDump(BufferPtr, recordName, QZ_SQUARE_EXTENSION);
    }
    if (average) {
        DoubleMovingAverage(BufferPtr);
        WriteStageDump(BufferPtr, recordName, QZ_AVERAGE_EXTENSION);
    }
}

}  // namespace

UINT16 *SampleValueCounts(void)
{
#if QZ_STAGE_DUMPS
    return convertedBuffer;
#else
    return sampleValueCounts;
#endif
}

// (max - min) x 0.2 in double precision, truncated; for differences 0..1023
// this is the difference divided by 5, rounded down.
UINT16 PeakThreshold(UINT16 min, UINT16 max)
{
    const INT32 difference = static_cast<INT32>(max) - static_cast<INT32>(min);
    return static_cast<UINT16>(static_cast<INT32>(static_cast<double>(difference) * 0.2));
}

UINT16 CalculateHeartRate(BYTE *BufferPtr, BYTE Selector, const char *recordName)
{
    // Without the peak stage the beat-rate stage sees no peaks; without the
    // beat-rate stage the result word is 0.
    UINT16 intervals[QZ_MAX_PEAKS] = {0};
    BYTE Peaks = 0;
    UINT16 bpm = 0;

    CalcHeart_SampleCount =
        (CalcHeart_BufferLength == QZ_MAX_BUFFER_BYTES) ? QZ_LONG_RECORD_SAMPLES : QZ_SHORT_RECORD_SAMPLES;

    if (StageSelected(Selector, QZ_STAGE_LOWPASS)) {
        LowPassStage(BufferPtr);
        WriteStageDump(BufferPtr, recordName, QZ_LOWPASS_EXTENSION);
    }
    if (StageSelected(Selector, QZ_STAGE_HIGHPASS)) {
        HighPassFilter(BufferPtr, &CalcHeart_BufferMedian, &CalcHeart_BufferAmplitude);
        WriteStageDump(BufferPtr, recordName, QZ_HIGHPASS_EXTENSION);
    }
    if (StageSelected(Selector, QZ_STAGE_DERIVATIVE)) {
        CalcHeart_BufferMax = (Filter.get(FilterBits::DerivativeOrder) == QZ_DERIVATIVE_TWO_POINT)
                                  ? Derivative2point(BufferPtr)
                                  : Derivative5point(BufferPtr);
        WriteStageDump(BufferPtr, recordName, QZ_DERIVATIVE_EXTENSION);
    }
    SmoothingStages(BufferPtr, Selector, recordName);
    if (StageSelected(Selector, QZ_STAGE_PEAKS)) {
        Peaks = PeakStage(BufferPtr, intervals);
    }
    if (StageSelected(Selector, QZ_STAGE_BEATRATE)) {
        MethodDumpEnabled = recordName != nullptr;
        GetBPM(BufferPtr, intervals, &bpm, &FirstLast, &Peaks);
        MethodDumpEnabled = true;
    }
    if (LogLevel > 3u) {
        printf("Result is %d stored at " QZ_ADDRESS_FORMAT "\n", bpm, LowAddressBits(&bpm));
    }
    return bpm;
}

}  // namespace qz
