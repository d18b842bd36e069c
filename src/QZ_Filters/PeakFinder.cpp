// SPDX-License-Identifier: Apache-2.0
// Peak finder: one pass over the smoothed, squared signal, recording where
// each beat's hump tops out and how high it is.
#include <qz_vozozi_DE/QZ_Filters.h>

#include "PackedGroup.h"

namespace qz {

namespace {

constexpr UINT16 PEAK_BASELINE = 8;        // fixed search base with the absolute threshold
constexpr UINT16 PEAK_END_LEVEL = 7;       // a fall to this level or below ends a peak
constexpr INT32 OPEN_PEAK_END_MARGIN = 14; // an open peak this close to the end still counts
constexpr BYTE MAX_PEAK_COUNT = 255;

// Working state of one scan. The flag word's Searching and Rising bits are
// kept here while the scan runs (a read-modify-write of the global word per
// sample would cost more than the rest of the scan) and stored back at its
// end; the threshold kind and the range are read once.
struct PeakScan {
    UINT16 range;
    bool variable;
    bool searching;
    bool rising;
    UINT16 *locations;
    BYTE Peaks;
    UINT16 lastData;
    UINT16 bottom;
    UINT16 top;
    UINT16 topLocation;
};

void CountPeak(PeakScan &scan)
{
    if (scan.Peaks < MAX_PEAK_COUNT) {
        ++scan.Peaks;
    }
}

// Moves the open peak's top to sample v at one-based position `location`;
// only the first 25 peaks are stored.
void RecordTop(PeakScan &scan, UINT16 v, UINT16 location)
{
    scan.top = v;
    scan.topLocation = location;
    if (scan.Peaks < QZ_MAX_PEAKS) {
        scan.locations[scan.Peaks] = location;
        PeakValues[scan.Peaks] = v;
    }
}

void TrackDirection(PeakScan &scan, UINT16 v)
{
    if (scan.lastData > v) {
        scan.rising = false;
    } else if (scan.lastData < v) {
        scan.rising = true;
    }
}

// While searching: open a peak on a rise of at least the range above bottom
// (signed, so a v below bottom never qualifies); let bottom follow falls.
void Search(PeakScan &scan, UINT16 v, UINT16 location)
{
    if (scan.rising && static_cast<INT32>(v) - static_cast<INT32>(scan.bottom) >= static_cast<INT32>(scan.range)) {
        scan.searching = false;
        RecordTop(scan, v, location);
    } else if (!scan.rising && v < scan.bottom) {
        scan.bottom = v;
    }
}

// Inside a peak: follow a rising top (a plateau keeps its first sample);
// close the peak on a fall to the end level, or by the range below the top
// with the variable threshold.
void FollowPeak(PeakScan &scan, UINT16 v, UINT16 location)
{
    if (scan.rising && v > scan.top) {
        RecordTop(scan, v, location);
        return;
    }
    const bool fellByRange =
        scan.variable && static_cast<INT32>(scan.top) - static_cast<INT32>(v) >= static_cast<INT32>(scan.range);
    if (!scan.rising && (fellByRange || v <= PEAK_END_LEVEL)) {
        scan.searching = true;
        CountPeak(scan);
        scan.top = 0;
        scan.bottom = scan.variable ? v : PEAK_BASELINE;
    }
}

// Scan start: the direction of the first two samples and the first bottom.
void StartScan(PeakScan &scan, const UINT16 *firstGroup)
{
    scan.lastData = firstGroup[0];
    scan.rising = firstGroup[1] > firstGroup[0];
    if (!scan.variable) {
        scan.bottom = PEAK_BASELINE;
    } else if (firstGroup[0] > scan.range) {
        scan.bottom = static_cast<UINT16>(firstGroup[0] - scan.range);
    } else {
        scan.bottom = firstGroup[0];
    }
}

// With the absolute threshold a peak still open near the end of the record
// is counted (signed comparison of its top position).
void CountOpenPeakAtEnd(PeakScan &scan)
{
    if (!scan.variable && !scan.searching &&
        static_cast<INT32>(scan.topLocation) >= static_cast<INT32>(CalcHeart_SampleCount) - OPEN_PEAK_END_MARGIN) {
        CountPeak(scan);
    }
}

}  // namespace

// Finds the peaks of the packed buffer (read only). Clears all 25 entries of
// `locations` and PeakValues, then stores each peak's top as a one-based
// sample position and its 10-bit value, for the first 25 peaks; later peaks
// are only counted. Returns the count, saturating at 255. Leaves
// Filter.Searching and Filter.Rising as the scan ends; touches no other bit.
BYTE FindPeaks(const BYTE *BufferPtr, const UINT16 *range, UINT16 *locations)
{
    for (unsigned k = 0; k < QZ_MAX_PEAKS; ++k) {
        locations[k] = 0;
        PeakValues[k] = 0;
    }
    Filter.set(FilterBits::Searching, 1);
    if (CalcHeart_BufferLength < QZ_GROUP_BYTES) {
        Filter.set(FilterBits::Rising, 0);
        return 0;
    }
    PeakScan scan{*range, Filter.isSet(FilterBits::VariablePeakThreshold), true, false, locations, 0, 0, 0, 0, 0};

    UINT16 tmpData[QZ_GROUP_SAMPLES];
    ReadGroupAt(BufferPtr, 0, tmpData);
    StartScan(scan, tmpData);

    const UINT16 length = CalcHeart_BufferLength;
    UINT16 location = 0;  // one-based position of the current sample
    for (UINT16 BufferIndex = 0; BufferIndex < length;) {
        ReadGroup(BufferPtr, BufferIndex, tmpData);
        #pragma GCC unroll 4  // see PackedGroup.h
        for (BYTE i = 0; i < QZ_GROUP_SAMPLES; ++i) {
            const UINT16 v = tmpData[i];
            location = static_cast<UINT16>(location + 1u);
            TrackDirection(scan, v);
            if (scan.searching) {
                Search(scan, v, location);
            } else {
                FollowPeak(scan, v, location);
            }
            scan.lastData = v;
        }
    }
    CountOpenPeakAtEnd(scan);
    Filter.set(FilterBits::Searching, scan.searching ? 1u : 0u);
    Filter.set(FilterBits::Rising, scan.rising ? 1u : 0u);
    return scan.Peaks;
}

}  // namespace qz
