// SPDX-License-Identifier: Apache-2.0
// The heart-rate library: flag word, peak and statistics records, library
// globals and every operation of the pipeline. All state is static and the
// library is not reentrant: one CalculateHeartRate call at a time.
#ifndef QZ_FILTERS_H
#define QZ_FILTERS_H

#include <qz_vozozi_DE/GenericTypeDefs.h>
#include <qz_vozozi_DE/QZ_DataStructures.h>
#include <qz_vozozi_DE/QZ_Standard.h>

#define QZ_MAX_CANDIDATES 24u  // intervals between kept peaks
#define QZ_TEMPLATE_LENGTH 31u
#define QZ_TRACE_WINDOWS 10u   // template windows traced per candidate

// QI patterns: the quality already shifted into bits 10-11 of the result word.
#define QZ_QI_PATTERN_0 0x000u
#define QZ_QI_PATTERN_1 0x400u
#define QZ_QI_PATTERN_2 0x800u
#define QZ_QI_PATTERN_3 0xC00u
#define QZ_RESULT_BPM_MASK 0x3FFu
#define QZ_RESULT_QI_SHIFT 10u

// Stage mask bits of CalculateHeartRate, in the order the stages run.
enum QZ_StageBit : qz::BYTE {
    QZ_STAGE_LOWPASS = 1,
    QZ_STAGE_HIGHPASS = 2,
    QZ_STAGE_DERIVATIVE = 4,
    QZ_STAGE_SQUARE = 8,
    QZ_STAGE_AVERAGE = 16,
    QZ_STAGE_PEAKS = 32,
    QZ_STAGE_BEATRATE = 64,
    QZ_STAGE_ALL = 127,
};

// The statistics record tm2 as 16-bit words.
#define QZ_TM_WORDS 14u

// The result record of a run (the .out file): BPM, QI, the beat-classification
// flag, the peak count, the published peak locations, then the image of tm2.
#define QZ_RESULT_RECORD_WORDS 43u
#define QZ_RESULT_PEAKS_START 4u      // the published peak locations
#define QZ_RESULT_METADATA_START 29u  // the statistics block: the image of tm2

// The stage dump files: the record's base name with the stage's extension.
#define QZ_LOWPASS_EXTENSION ".lowpass"
#define QZ_HIGHPASS_EXTENSION ".highpass"
#define QZ_DERIVATIVE_EXTENSION ".derivative"
#define QZ_SQUARE_EXTENSION ".square"
#define QZ_AVERAGE_EXTENSION ".average"

// The method dump: the image of tm2, written by every beat-rate estimation.
#define QZ_METHOD_DUMP_NAME "thresholdmethod"
#define QZ_METHOD_DUMP_EXTENSION ".info"

namespace qz {
#pragma GCC visibility push(default)  // exported; everything else is built hidden

// One field of the flag word: its lowest bit and its width in bits.
struct FilterField {
    unsigned shift;
    unsigned width;
};

namespace FilterBits {
inline constexpr FilterField InPeak{0, 1};
inline constexpr FilterField Searching{1, 1};
inline constexpr FilterField Rising{2, 1};
inline constexpr FilterField KeepSorting{3, 1};
inline constexpr FilterField UseTemplateMatch{4, 1};
inline constexpr FilterField ConfidenceLevel{5, 2};
inline constexpr FilterField BadMeasurement{7, 1};
inline constexpr FilterField VariablePeakThreshold{8, 1};
inline constexpr FilterField BeatClassifyingMethod{9, 3};
inline constexpr FilterField DerivativeOrder{12, 3};
}  // namespace FilterBits

// The flag word. Every update is a read-modify-write of one field alone.
struct flags_filters {
    UINT16 Filter;  // whole-word view

    UINT16 get(FilterField field) const
    {
        return static_cast<UINT16>((Filter >> field.shift) & fieldMask(field));
    }
    bool isSet(FilterField field) const { return get(field) != 0u; }
    void set(FilterField field, UINT16 value)
    {
        const UINT16 mask = static_cast<UINT16>(fieldMask(field) << field.shift);
        const UINT16 bits = static_cast<UINT16>((value & fieldMask(field)) << field.shift);
        Filter = static_cast<UINT16>((Filter & static_cast<UINT16>(~mask)) | bits);
    }

private:
    static UINT16 fieldMask(FilterField field)
    {
        return static_cast<UINT16>((1u << field.width) - 1u);
    }
};

// One candidate beat interval and what template matching found for it.
struct peak_interval_struct {
    UINT16 Interval;
    UINT16 IntervalQuality;
    UINT16 PeakCount;
    UINT16 PeakLocs[QZ_MAX_PEAKS];
    UINT16 TemplateIndex[QZ_MAX_PEAKS];
};

// Statistics record of beat-rate estimation; its memory image (28 bytes,
// little-endian on the targets) is the method dump and the result record's
// statistics block.
struct new_tm_struct {
    UINT16 QI;
    UINT16 MaxPeak;
    UINT16 MinPeak;
    UINT16 HighPeakThreshold;
    UINT16 LowPeakThreshold;
    UINT16 Median;
    UINT32 HighBucket;
    UINT32 LowBucket;
    UINT32 MiddleBucket;
    UINT32 Tegur;
};
static_assert(sizeof(new_tm_struct) == 28, "tm2 image must be 28 bytes without gaps");

// ---- Library globals (zero at program start unless noted) ----
extern flags_filters Filter;
extern sampling_frequency_struct HeartSampling;
extern UINT16 CalcHeart_BufferLength;  // packed bytes: 1875 or 750
extern UINT16 CalcHeart_SampleCount;   // samples: 1500 or 600
extern UINT16 CalcHeart_BufferMin;
extern UINT16 CalcHeart_BufferMax;
extern UINT16 CalcHeart_BufferMedian;
extern UINT16 CalcHeart_BufferAmplitude;
extern UINT32 Tegrun;  // sum of all samples seen by the last MinMax, Median or MinMaxMedian
extern peak_interval_struct Peak[QZ_MAX_CANDIDATES];
extern UINT16 PeakValues[QZ_MAX_PEAKS];
extern BYTE GloballyAccessiblePeaks;
extern UINT16 GloballyAccessibleIntervals[QZ_MAX_PEAKS];
extern BYTE GlobalTemplatePeakUsed;
extern new_tm_struct tm2;
extern UINT16 SEC_PER_MINUTE;                     // 60
extern const BYTE PeakTemplate[QZ_TEMPLATE_LENGTH];

// Puts every library global back to its program-start value, so that tests,
// fuzzing and batch evaluation can run the pipeline as a fresh process would.
void QZ_ResetLibraryState(void);

// ---- Pipeline ----
// The stage dumps go to recordName + extension, and the method dump to its
// fixed name; a null recordName writes no file at all.
UINT16 CalculateHeartRate(BYTE *BufferPtr, BYTE Selector, const char *recordName);

// Fills words 0..42 of `record` from a result word and the library state.
void QZ_AssembleResultRecord(UINT16 resultWord, UINT16 *record);

// ---- Buffer statistics ----
void MinMax(const BYTE *BufferPtr, UINT16 *min, UINT16 *max);
void SortBuffer(const BYTE *BufferPtr, UINT16 *bucket, const UINT16 *threshold);
void Median(const BYTE *BufferPtr, UINT16 *median);
// MinMax and Median in one: the same three values and Tegrun, one pass over the buffer.
void MinMaxMedian(const BYTE *BufferPtr, UINT16 *min, UINT16 *max, UINT16 *median);

// ---- Conditioning filters ----
void LowPassFilter(BYTE *BufferPtr, const UINT16 *median, UINT16 *MaxAmplitude);
void HighPassFilter(BYTE *BufferPtr, const UINT16 *median, const UINT16 *MaxAmplitude);
void MovingAverage(BYTE *BufferPtr);
// MovingAverage twice, in one walk over the buffer: the pipeline's smoothing stage.
void DoubleMovingAverage(BYTE *BufferPtr);
void AbsSubtractMedian(BYTE *BufferPtr, const UINT16 *median);
UINT16 Derivative2point(BYTE *BufferPtr);
UINT16 Derivative5point(BYTE *BufferPtr);
void SquareScale(BYTE *BufferPtr, UINT16 maxval);

// ---- Peaks and beat rate ----
// The peak finder's threshold for a buffer from `min` to `max`: a fifth of the span.
UINT16 PeakThreshold(UINT16 min, UINT16 max);
BYTE FindPeaks(const BYTE *BufferPtr, const UINT16 *range, UINT16 *locations);
void GetBPM(const BYTE *BufferPtr, UINT16 *locations, UINT16 *maxORbpm, UINT16 *min, BYTE *Peaks);
void IntervalToBPM(const UINT16 *interval, UINT16 *bpm, UINT16 quality);
UINT16 BPM_Method_TemplateMatching(const BYTE *BufferPtr, const UINT16 *locations, const BYTE *Peaks);
UINT16 BPM_Method_LevelBasedThrowout(const UINT16 *locations, BYTE *Peaks);
UINT16 BPM_Method_Statistical(const UINT16 *locations, const BYTE *Peaks);

#pragma GCC visibility pop
}  // namespace qz

#endif
