// SPDX-License-Identifier: Apache-2.0
// Beat classification from peak heights and buffer statistics alone: the
// level-based throw-out and the statistical method. Both expect GetBPM to
// have filled tm2.MaxPeak, MinPeak, Median and Tegur for the same peaks.
#include <inttypes.h>
#include <stdio.h>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

namespace qz {

namespace {

constexpr double HIGH_PEAK_FACTOR = 0.66;  // of the largest peak
constexpr double LOW_PEAK_FACTOR = 1.5;    // of the smallest peak
constexpr UINT16 MAX_USABLE_MEDIAN = 100;
constexpr UINT32 TEGUR_LOW_FACTOR = 7;     // plausible signal sum per peak, in units of MaxPeak
constexpr UINT32 TEGUR_HIGH_FACTOR = 15;
constexpr UINT16 MEDIAN_QI_2_ABOVE = 30;
constexpr UINT16 MEDIAN_QI_1_ABOVE = 10;

UINT32 PeakBit(UINT16 i)
{
    return static_cast<UINT32>(1) << i;
}

// factor x height in double precision, truncated toward zero; the product
// stays far below 2^31 for any 16-bit height.
UINT16 ScaledHeight(double factor, UINT16 height)
{
    return static_cast<UINT16>(static_cast<INT32>(factor * static_cast<double>(height)));
}

// Thresholds from the extreme heights; when they cross, both collapse to the
// smallest height so that every peak counts as high.
void SetPeakThresholds()
{
    tm2.HighPeakThreshold = ScaledHeight(HIGH_PEAK_FACTOR, tm2.MaxPeak);
    tm2.LowPeakThreshold = ScaledHeight(LOW_PEAK_FACTOR, tm2.MinPeak);
    if (tm2.HighPeakThreshold < tm2.LowPeakThreshold) {
        tm2.HighPeakThreshold = tm2.MinPeak;
        tm2.LowPeakThreshold = tm2.MinPeak;
    }
}

// Sorts peak i into the high, low or middle bucket; high wins a tie.
void SortPeaksByHeight(BYTE Peaks)
{
    tm2.HighBucket = 0;
    tm2.LowBucket = 0;
    tm2.MiddleBucket = 0;
    for (UINT16 i = 0; i < Peaks; ++i) {
        const UINT16 v = PeakValues[i];
        if (v >= tm2.HighPeakThreshold) {
            tm2.HighBucket |= PeakBit(i);
        } else if (v <= tm2.LowPeakThreshold) {
            tm2.LowBucket |= PeakBit(i);
        } else {
            tm2.MiddleBucket |= PeakBit(i);
        }
    }
}

BYTE CountHighPeaks()
{
    BYTE count = 0;
    for (UINT16 i = 0; i < QZ_MAX_PEAKS; ++i) {
        if ((tm2.HighBucket & PeakBit(i)) != 0u) {
            ++count;
        }
    }
    return count;
}

// Distance from the first to the last high peak, logging each high peak.
UINT16 HighPeakSpan(const UINT16 *locations)
{
    UINT16 tmpLocation = 0;
    UINT16 BPM_Interval = 0;
    UINT16 j = 0;
    for (UINT16 i = 0; i < QZ_MAX_PEAKS; ++i) {
        if ((tm2.HighBucket & PeakBit(i)) == 0u) {
            continue;
        }
        if (LogLevel > 3u) {
            printf("Calculating.. High Peak %d is detected peak %d at location %" PRId32 "\n", static_cast<int>(j + 1u),
                   static_cast<int>(i + 1u), static_cast<INT32>(locations[i]));
        }
        if (j == 0) {
            tmpLocation = locations[i];
        }
        BPM_Interval = static_cast<UINT16>(locations[i] - tmpLocation);
        ++j;
    }
    return BPM_Interval;
}

}  // namespace

// Level-based throw-out over *Peaks (2..25) peaks: sorts them by height into
// high, middle and low buckets, sets tm2.QI to QI 2 when any peak is middle,
// else QI 1, and replaces *Peaks by the number of high peaks. Returns the
// average interval between the first and the last high peak (truncated), or
// 0 with QI 3 when only one high peak remains.
UINT16 BPM_Method_LevelBasedThrowout(const UINT16 *locations, BYTE *Peaks)
{
    SetPeakThresholds();
    SortPeaksByHeight(*Peaks);
    tm2.QI = (tm2.MiddleBucket != 0u) ? QZ_QI_PATTERN_2 : QZ_QI_PATTERN_1;
    *Peaks = CountHighPeaks();
    if (*Peaks == 1) {
        tm2.QI = QZ_QI_PATTERN_3;
        return 0;
    }
    return static_cast<UINT16>(HighPeakSpan(locations) / (*Peaks - 1));
}

// Statistical method over *Peaks (2..25) peaks: the average interval between
// the first and the last peak (16-bit span, truncated division). A median
// above 100 gives QI 3 and 0; a signal sum outside 7..15 x MaxPeak x *Peaks
// gives QI 3 with the interval; otherwise the QI follows the median.
UINT16 BPM_Method_Statistical(const UINT16 *locations, const BYTE *Peaks)
{
    const UINT16 span = static_cast<UINT16>(locations[*Peaks - 1] - locations[0]);
    const UINT16 BPM_Interval = static_cast<UINT16>(span / (*Peaks - 1));
    if (tm2.Median > MAX_USABLE_MEDIAN) {
        tm2.QI = QZ_QI_PATTERN_3;
        return 0;
    }
    const UINT32 peakSum = static_cast<UINT32>(tm2.MaxPeak) * static_cast<UINT32>(*Peaks);
    const UINT32 ReasonableTegurLow = peakSum * TEGUR_LOW_FACTOR;
    const UINT32 ReasonableTegurHigh = peakSum * TEGUR_HIGH_FACTOR;
    if (tm2.Tegur > ReasonableTegurHigh || tm2.Tegur < ReasonableTegurLow) {
        tm2.QI = QZ_QI_PATTERN_3;
    } else if (tm2.Median > MEDIAN_QI_2_ABOVE) {
        tm2.QI = QZ_QI_PATTERN_2;
    } else if (tm2.Median > MEDIAN_QI_1_ABOVE) {
        tm2.QI = QZ_QI_PATTERN_1;
    } else {
        tm2.QI = QZ_QI_PATTERN_0;
    }
    return BPM_Interval;
}

}  // namespace qz
