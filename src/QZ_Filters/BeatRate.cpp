// SPDX-License-Identifier: Apache-2.0
// Beat-rate estimation: turns the peak locations into intervals, picks the
// single, the average or a beat-classification interval, and converts it
// into the result word (BPM in bits 0-9, QI pattern in bits 10-11).
#include <inttypes.h>
#include <stdio.h>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "PipelineState.h"

namespace qz {

namespace {

constexpr UINT16 RATE_NOT_REPRESENTABLE = 65535;  // stored for NaN, infinite or out-of-range rates
constexpr float RATE_LIMIT = 65536.0f;
constexpr UINT16 MAX_REPORTED_BPM = 1023;
constexpr UINT16 MIN_PEAK_START = 1024;  // above every 10-bit height
constexpr float TAIL_INTERVALS = 1.2f;   // record left after the second peak, in intervals
constexpr double REGULAR_RATIO = 0.8;    // shortest / longest interval of a regular rhythm
constexpr UINT16 LEVEL_BASED_NO_INTERVAL_BPM = 2;
constexpr UINT16 STATISTICAL_NO_INTERVAL_BPM = 0;

enum BeatClassifier : UINT16 {
    TEMPLATE_MATCHING = 1,
    LEVEL_BASED_THROWOUT = 2,
};

// The rate truncated toward zero, or 65535 when it is NaN, infinite or its
// integer part lies outside 0..65535. Compared in float before converting.
UINT16 SaturatedRate(float rate)
{
    if (rate > -1.0f && rate < RATE_LIMIT) {
        return static_cast<UINT16>(static_cast<INT32>(rate));
    }
    return RATE_NOT_REPRESENTABLE;
}

// The 28-byte image of tm2, 14 little-endian words; the result of the write
// is ignored like every dump of the library.
void WriteMethodDump()
{
    if (!MethodDumpEnabled) {
        return;
    }
    (void)hlp_writeBinaryDataFile(QZ_METHOD_DUMP_NAME, QZ_METHOD_DUMP_EXTENSION, &tm2, static_cast<int>(QZ_TM_WORDS), sizeof(UINT16));
}

void ResetStatistics()
{
    tm2 = new_tm_struct{};
    tm2.Median = CalcHeart_BufferMedian;
    tm2.Tegur = Tegrun;
}

// Largest and smallest of the first `Peaks` peak heights.
void FindPeakHeightRange(BYTE Peaks)
{
    tm2.MaxPeak = 0;
    tm2.MinPeak = MIN_PEAK_START;
    for (BYTE i = 0; i < Peaks; ++i) {
        if (PeakValues[i] > tm2.MaxPeak) {
            tm2.MaxPeak = PeakValues[i];
        }
        if (PeakValues[i] < tm2.MinPeak) {
            tm2.MinPeak = PeakValues[i];
        }
    }
}

// Peak[n].Interval = distance from peak n to peak n + 1 (16-bit unsigned);
// two peaks at the same location count as one record length minus one.
void FormIntervals(const UINT16 *locations, BYTE Peaks)
{
    for (BYTE n = 0; n + 1 < Peaks; ++n) {
        Peak[n].Interval = static_cast<UINT16>(locations[n + 1] - locations[n]);
        if (Peak[n].Interval == 0) {
            Peak[n].Interval = static_cast<UINT16>(CalcHeart_SampleCount - 1u);
        }
    }
}

// Two peaks: true when the record runs on for more than 1.2 intervals after
// the second one. *tail receives that remaining length.
bool TailLongerThanInterval(const UINT16 *locations, UINT16 *tail)
{
    *tail = static_cast<UINT16>(CalcHeart_SampleCount - locations[1]);
    const float limit = TAIL_INTERVALS * static_cast<float>(Peak[0].Interval);
    return static_cast<float>(*tail) > limit;
}

// Three or more peaks: true when the shortest interval is less than 0.8 of
// the longest (single-precision quotient, compared in double).
bool IntervalsIrregular(BYTE Peaks, UINT16 *shortest, UINT16 *longest)
{
    *longest = 0;
    *shortest = CalcHeart_SampleCount;
    for (BYTE n = 0; n + 1 < Peaks; ++n) {
        if (Peak[n].Interval < *shortest) {
            *shortest = Peak[n].Interval;
        }
        if (Peak[n].Interval > *longest) {
            *longest = Peak[n].Interval;
        }
    }
    const float ratio = static_cast<float>(*shortest) / static_cast<float>(*longest);
    return static_cast<double>(ratio) < REGULAR_RATIO;
}

// Distance from the first to the last peak over the number of intervals,
// truncated.
UINT16 AverageInterval(const UINT16 *locations, BYTE Peaks)
{
    const UINT16 span = static_cast<UINT16>(locations[Peaks - 1] - locations[0]);
    return static_cast<UINT16>(span / (Peaks - 1));
}

// A method's interval as a result word under tm2.QI; without an interval the
// BPM field is `bpmWithoutInterval`.
void ReportMethodInterval(UINT16 interval, UINT16 bpmWithoutInterval, UINT16 *maxORbpm)
{
    if (interval == 0) {
        *maxORbpm = static_cast<UINT16>(tm2.QI | bpmWithoutInterval);
    } else {
        IntervalToBPM(&interval, maxORbpm, tm2.QI);
    }
}

// Runs the beat-classification method selected in the flag word.
void ClassifyBeats(const BYTE *BufferPtr, UINT16 *locations, UINT16 *maxORbpm, BYTE *Peaks)
{
    if (LogLevel > 2u) {
        puts("Using beat classification method.");
    }
    UINT16 CheckLocation = 0;
    switch (Filter.get(FilterBits::BeatClassifyingMethod)) {
    case TEMPLATE_MATCHING:
        CheckLocation = BPM_Method_TemplateMatching(BufferPtr, locations, Peaks);
        IntervalToBPM(&CheckLocation, maxORbpm, tm2.QI);
        break;
    case LEVEL_BASED_THROWOUT:
        CheckLocation = BPM_Method_LevelBasedThrowout(locations, Peaks);
        ReportMethodInterval(CheckLocation, LEVEL_BASED_NO_INTERVAL_BPM, maxORbpm);
        break;
    default:
        CheckLocation = BPM_Method_Statistical(locations, Peaks);
        ReportMethodInterval(CheckLocation, STATISTICAL_NO_INTERVAL_BPM, maxORbpm);
        break;
    }
}

}  // namespace

// Converts an interval of *interval samples into a result word at *bpm:
// rate = 60 / (interval x Period) in single precision, truncated toward
// zero; NaN, infinite and out-of-range rates saturate at 65535 (the value the
// log line shows), then the rate is clamped to 1023. A rate outside
// MinBPM..MaxBPM (inclusive) gets QI 3 and sets BadMeasurement; otherwise
// `quality` is OR-ed in.
void IntervalToBPM(const UINT16 *interval, UINT16 *bpm, UINT16 quality)
{
    const float period = static_cast<float>(*interval) * HeartSampling.Period;
    const float perSecond = 1.0f / period;
    const float rate = static_cast<float>(SEC_PER_MINUTE) * perSecond;
    *bpm = SaturatedRate(rate);
    if (LogLevel > 3u) {
        printf("Calculated BPM %" PRId32 " using a period of %f\n", static_cast<INT32>(*bpm),
               static_cast<double>(HeartSampling.Period));
    }
    if (*bpm > MAX_REPORTED_BPM) {
        *bpm = MAX_REPORTED_BPM;
    }
    if (*bpm < HeartSampling.MinBPM || *bpm > HeartSampling.MaxBPM) {
        *bpm = static_cast<UINT16>(*bpm | QZ_QI_PATTERN_3);
        Filter.set(FilterBits::BadMeasurement, 1);
    } else {
        *bpm = static_cast<UINT16>(*bpm | quality);
    }
}

// Produces the result word at *maxORbpm from the first *Peaks entries of
// `locations` (one-based, ascending). Limits *Peaks to 25 (the level-based
// method may lower it further), resets and fills tm2 and writes it to
// "thresholdmethod.info" (again after a beat-classification method), and
// uses *min and *maxORbpm as scratch. No peaks: 0xC00; one peak: OnePerMinute
// with QI 3; regular rhythms: the single or the average interval with QI 0.
void GetBPM(const BYTE *BufferPtr, UINT16 *locations, UINT16 *maxORbpm, UINT16 *min, BYTE *Peaks)
{
    Filter.set(FilterBits::UseTemplateMatch, 0);
    Filter.set(FilterBits::BadMeasurement, 0);
    ResetStatistics();
    if (*Peaks != 0) {
        if (*Peaks > QZ_MAX_PEAKS) {
            *Peaks = QZ_MAX_PEAKS;
        }
        FindPeakHeightRange(*Peaks);
    } else {
        Filter.set(FilterBits::BadMeasurement, 1);
        *maxORbpm = QZ_QI_PATTERN_3;
        if (LogLevel > 3u) {
            puts("Found no peaks");
        }
    }
    WriteMethodDump();
    if (Filter.isSet(FilterBits::BadMeasurement)) {
        return;
    }
    if (*Peaks == 1) {
        Filter.set(FilterBits::BadMeasurement, 1);
        *maxORbpm = static_cast<UINT16>(HeartSampling.OnePerMinute | QZ_QI_PATTERN_3);
        return;
    }

    FormIntervals(locations, *Peaks);
    if (*Peaks == 2) {
        if (!TailLongerThanInterval(locations, min)) {
            IntervalToBPM(&Peak[0].Interval, maxORbpm, QZ_QI_PATTERN_0);
            return;
        }
    } else if (!IntervalsIrregular(*Peaks, min, maxORbpm)) {
        *min = AverageInterval(locations, *Peaks);
        if (LogLevel > 2u) {
            puts("More than 3 peaks, using average interval");
        }
        IntervalToBPM(min, maxORbpm, QZ_QI_PATTERN_0);
        return;
    }
    Filter.set(FilterBits::UseTemplateMatch, 1);
    ClassifyBeats(BufferPtr, locations, maxORbpm, Peaks);
    WriteMethodDump();
}

}  // namespace qz
