// SPDX-License-Identifier: Apache-2.0
// Template matching: every interval between two consecutive peaks is a
// candidate beat spacing. A grid with that spacing, anchored on the
// candidate's first peak, is laid over the record, and the 31-sample window
// at each grid position counts for the candidate when it holds a clear
// maximum with at least one sample after it, weighted by where the maximum
// lies in PeakTemplate and by its height. The best candidate wins.
#include <qz_vozozi_DE/QZ_Filters.h>

#include "PackedGroup.h"

namespace qz {

namespace {

constexpr UINT16 TEMPLATE_CENTRE = 15;   // template index that falls on the grid position
constexpr UINT16 TEMPLATE_LAST = 30;
constexpr UINT16 GRID_WEIGHT = 256;      // a candidate's step is this over its window count
constexpr UINT16 SCORE_UNIT = 7000;      // template weight x height per reward unit
constexpr UINT16 MAX_FLAT_RATIO = 2;     // window max / min up to this is no peak
constexpr UINT16 CONFIDENT_ABOVE = 100;  // winner quality for confidence 3
constexpr UINT16 PLAUSIBLE_ABOVE = 50;   // winner quality for confidence 2
constexpr UINT16 CONFIDENCE_HIGH = 3;
constexpr UINT16 CONFIDENCE_MEDIUM = 2;
constexpr UINT16 CONFIDENCE_LOW = 1;

// What one window scan found. The flag word's Searching and InPeak bits hold
// the rest of its state: Searching clear and InPeak set once a sample has
// followed the latest rise of the maximum.
struct WindowScan {
    UINT16 maxVal;
    UINT16 minVal;
    UINT16 maxLoc;  // template index of the first occurrence of maxVal
};

// Sample v at template index TemplateIndex of window j. StartLocation is the
// byte offset of the group after v's group; the first 10 windows trace each
// rise of the maximum into the candidate.
void ExamineSample(WindowScan &window, UINT16 v, UINT16 TemplateIndex, UINT16 StartLocation, UINT16 j,
                   peak_interval_struct &candidate)
{
    if (v < window.minVal) {
        window.minVal = v;
    }
    if (v > window.maxVal) {
        window.maxVal = v;
        window.maxLoc = TemplateIndex;
        if (j < QZ_TRACE_WINDOWS) {
            candidate.TemplateIndex[j] = TemplateIndex;
            candidate.PeakLocs[j] = static_cast<UINT16>((StartLocation / QZ_GROUP_BYTES) * QZ_GROUP_SAMPLES +
                                                        StartLocation % QZ_GROUP_BYTES);
        }
        Filter.set(FilterBits::InPeak, 0);
    } else if (!Filter.isSet(FilterBits::InPeak) && TemplateIndex != 0) {
        Filter.set(FilterBits::InPeak, 1);
        Filter.set(FilterBits::Searching, 0);
    }
}

// Scans the window of window number j centred on sample p: template index
// 15 falls on p, the window covers p - 15 .. p + 15 cut at sample 0, and
// the last two groups of the buffer are never examined.
WindowScan ScanWindow(const BYTE *BufferPtr, UINT16 p, UINT16 j, peak_interval_struct &candidate)
{
    UINT16 CheckLocation = 0;
    UINT16 TemplateIndex = 0;
    if (p < TEMPLATE_CENTRE) {
        TemplateIndex = static_cast<UINT16>(TEMPLATE_CENTRE - p);
    } else {
        CheckLocation = static_cast<UINT16>(p - TEMPLATE_CENTRE);
    }
    UINT16 StartLocation = static_cast<UINT16>(QZ_GROUP_BYTES * (CheckLocation / QZ_GROUP_SAMPLES));
    UINT16 tmpData[QZ_GROUP_SAMPLES];
    ReadGroup(BufferPtr, StartLocation, tmpData);
    UINT16 i = static_cast<UINT16>(CheckLocation % QZ_GROUP_SAMPLES);
    Filter.set(FilterBits::Searching, 1);
    WindowScan window{0, QZ_SAMPLE_MAX, 0};

    const INT32 lastScannedGroupEnd = static_cast<INT32>(CalcHeart_BufferLength) - static_cast<INT32>(QZ_GROUP_BYTES);
    while (TemplateIndex <= TEMPLATE_LAST && static_cast<INT32>(StartLocation) < lastScannedGroupEnd) {
        for (; i < QZ_GROUP_SAMPLES && TemplateIndex <= TEMPLATE_LAST; ++i) {
            ExamineSample(window, tmpData[i], TemplateIndex, StartLocation, j, candidate);
            ++TemplateIndex;
        }
        ReadGroup(BufferPtr, StartLocation, tmpData);
        i = 0;
    }
    return window;
}

// A clear maximum (more than twice the minimum, a minimum of 0 counting as
// 1) with at least one examined sample after it.
bool WindowRewarded(const WindowScan &window)
{
    const UINT16 minVal = (window.minVal == 0) ? static_cast<UINT16>(1) : window.minVal;
    const UINT16 ratio = static_cast<UINT16>(window.maxVal / minVal);
    return ratio > MAX_FLAT_RATIO && !Filter.isSet(FilterBits::Searching) && Filter.isSet(FilterBits::InPeak);
}

// Reward: adds (step x q) mod 256, q = template weight x height / 7000
// (the weight-height product truncated to 16 bits; q is 0..9, so the float
// product is at most 2304 and exact). Penalty: subtracts step, stopping at 0.
void UpdateQuality(peak_interval_struct &candidate, const WindowScan &window, UINT16 step)
{
    if (WindowRewarded(window)) {
        const UINT16 score = static_cast<UINT16>(PeakTemplate[window.maxLoc] * window.maxVal);
        const UINT16 q = static_cast<UINT16>(score / SCORE_UNIT);
        const float product = static_cast<float>(step) * static_cast<float>(q);
        const BYTE increment = static_cast<BYTE>(static_cast<INT32>(product));
        candidate.IntervalQuality = static_cast<UINT16>(candidate.IntervalQuality + increment);
    } else if (candidate.IntervalQuality > step) {
        candidate.IntervalQuality = static_cast<UINT16>(candidate.IntervalQuality - step);
    } else {
        candidate.IntervalQuality = 0;
    }
}

// Scores one candidate over its grid: positions anchor mod Interval, then
// every Interval samples up to the end of the record (16-bit arithmetic).
void EvaluateCandidate(const BYTE *BufferPtr, UINT16 anchor, peak_interval_struct &candidate)
{
    candidate.IntervalQuality = 0;
    UINT16 PulseLocation = static_cast<UINT16>(anchor % candidate.Interval);
    if (PulseLocation >= CalcHeart_SampleCount) {
        PulseLocation = static_cast<UINT16>(CalcHeart_SampleCount - 1u);
    }
    const UINT16 IntervalPeakCount =
        static_cast<UINT16>(static_cast<UINT16>(CalcHeart_SampleCount - 1u - PulseLocation) / candidate.Interval + 1u);
    candidate.PeakCount = IntervalPeakCount;
    const UINT16 step = static_cast<UINT16>(GRID_WEIGHT / IntervalPeakCount);
    for (UINT16 j = 0; j < IntervalPeakCount; ++j) {
        const WindowScan window = ScanWindow(BufferPtr, PulseLocation, j, candidate);
        UpdateQuality(candidate, window, step);
        PulseLocation = static_cast<UINT16>(PulseLocation + candidate.Interval);
    }
}

UINT16 ConfidenceOf(UINT16 quality)
{
    if (quality > CONFIDENT_ABOVE) {
        return CONFIDENCE_HIGH;
    }
    return (quality > PLAUSIBLE_ABOVE) ? CONFIDENCE_MEDIUM : CONFIDENCE_LOW;
}

// QI pattern of the winner: by its confidence alone when the previous leader
// scored at least two thirds of it (as 2 x (quality / 3)) or has an interval
// from once up to less than twice the winner's; otherwise one step worse
// (QI 2 for confidence 2 and 3, QI 3 for confidence 1).
UINT16 QualityPattern(const peak_interval_struct &winner, const peak_interval_struct &previous, UINT16 confidence)
{
    const bool closeScore = previous.IntervalQuality >= 2u * (winner.IntervalQuality / 3u);
    const bool similarInterval = previous.Interval >= winner.Interval &&
                                 static_cast<UINT32>(previous.Interval) < 2u * static_cast<UINT32>(winner.Interval);
    if (closeScore || similarInterval) {
        if (confidence == CONFIDENCE_HIGH) {
            return QZ_QI_PATTERN_0;
        }
        return (confidence == CONFIDENCE_MEDIUM) ? QZ_QI_PATTERN_1 : QZ_QI_PATTERN_2;
    }
    return (confidence == CONFIDENCE_LOW) ? QZ_QI_PATTERN_3 : QZ_QI_PATTERN_2;
}

}  // namespace

// Scores the candidate intervals Peak[0 .. *Peaks - 2].Interval (all
// non-zero, *Peaks at most 25) against the packed buffer (read only) and
// returns the best one; ties keep the earlier candidate. Writes each
// candidate's IntervalQuality (0..512 for 10-bit samples), PeakCount and the
// trace of its first 10 windows, Filter.ConfidenceLevel (1..3) and tm2.QI;
// leaves Filter.Searching and Filter.InPeak as the last window left them.
UINT16 BPM_Method_TemplateMatching(const BYTE *BufferPtr, const UINT16 *locations, const BYTE *Peaks)
{
    const INT32 candidates = static_cast<INT32>(*Peaks) - 1;
    UINT16 i = 0;
    UINT16 j = 0;
    UINT16 best = 0;
    for (UINT16 n = 0; static_cast<INT32>(n) < candidates; ++n) {
        EvaluateCandidate(BufferPtr, locations[n], Peak[n]);
        if (Peak[n].IntervalQuality > best) {
            j = i;
            best = Peak[n].IntervalQuality;
            i = n;
        }
    }
    const UINT16 confidence = ConfidenceOf(Peak[i].IntervalQuality);
    Filter.set(FilterBits::ConfidenceLevel, confidence);
    tm2.QI = QualityPattern(Peak[i], Peak[j], confidence);
    return Peak[i].Interval;
}

}  // namespace qz
