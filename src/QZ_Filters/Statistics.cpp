// SPDX-License-Identifier: Apache-2.0
// Buffer statistics over the packed buffer without unpacking it: minimum,
// maximum and sample sum, and the median estimated by repeated eight-bucket
// histograms that narrow the search range. None of them writes the buffer.
#include <string.h>

#include <qz_vozozi_DE/QZ_Filters.h>

#include "PackedGroup.h"
#include "PipelineState.h"

namespace qz {

namespace {

constexpr unsigned MEDIAN_BUCKETS = 8u;
constexpr unsigned MEDIAN_THRESHOLDS = 7u;
constexpr unsigned MEDIAN_LAST_BUCKET = 7u;
constexpr unsigned MEDIAN_MIN_RANGE = 8u;      // a range below this is narrow enough
constexpr unsigned MEDIAN_MAX_REFINEMENTS = 20u;  // safeguard; 10-bit data needs at most 3 passes

// Calls visit(sample) for every sample of the buffer in time order, walking
// the groups from byte 0 while the offset is below CalcHeart_BufferLength.
template <typename SampleVisitor>
void VisitSamples(const BYTE *BufferPtr, SampleVisitor &visit)
{
    // The length in a local: a visitor's stores could alias the global.
    const UINT16 length = CalcHeart_BufferLength;
    UINT16 BufferIndex = 0;
    UINT16 tmpData[QZ_GROUP_SAMPLES];
    while (BufferIndex < length) {
        ReadGroup(BufferPtr, BufferIndex, tmpData);
        visit(tmpData[0]);
        visit(tmpData[1]);
        visit(tmpData[2]);
        visit(tmpData[3]);
    }
}

// Bucket of `sample`: the first k with sample < threshold[k], 7 when there is
// none. The thresholds do not decrease, so "sample < threshold[k]" is false up
// to some k and true from there on, and three comparisons find that k.
BYTE BucketOf(UINT16 sample, const UINT16 *threshold)
{
    if (sample < threshold[3]) {
        if (sample < threshold[1]) {
            return (sample < threshold[0]) ? 0u : 1u;
        }
        return (sample < threshold[2]) ? 2u : 3u;
    }
    if (sample < threshold[5]) {
        return (sample < threshold[4]) ? 4u : 5u;
    }
    return (sample < threshold[6]) ? 6u : 7u;
}

// Splits [min, min + range] into eight nearly equal buckets:
// Threshold[i] = min + (i + 1) * range / 8, rounded down, sum truncated to 16 bits.
void ComputeThresholds(UINT16 min, UINT16 range, UINT16 *Threshold)
{
    for (BYTE i = 0; i < MEDIAN_THRESHOLDS; ++i) {
        const INT32 step = (static_cast<INT32>(i + 1) * static_cast<INT32>(range)) / 8;
        Threshold[i] = static_cast<UINT16>(static_cast<INT32>(min) + step);
    }
}

// Balance search: walks a lower pointer up and an upper pointer down, keeping
// balans = count below minus count above (signed 16-bit), until they meet at
// the bucket holding the median. A balance of exactly 0 moves the upper pointer.
BYTE FindMedianBucket(const UINT16 *Bucket)
{
    BYTE a = 0;
    BYTE b = MEDIAN_LAST_BUCKET;
    INT16 balans = static_cast<INT16>(static_cast<INT32>(Bucket[a]) - static_cast<INT32>(Bucket[b]));
    while (a != b) {
        if (balans < 0) {
            ++a;
            balans = static_cast<INT16>(balans + static_cast<INT32>(Bucket[a]));
        } else {
            --b;
            balans = static_cast<INT16>(balans - static_cast<INT32>(Bucket[b]));
        }
    }
    return b;
}

}  // namespace

// Stores the smallest and largest sample (starting from 1023 and 0, strict
// comparisons) and leaves the 32-bit sum of all samples in Tegrun.
void MinMax(const BYTE *BufferPtr, UINT16 *min, UINT16 *max)
{
    UINT16 smallest = QZ_SAMPLE_MAX;
    UINT16 largest = 0;
    UINT32 sum = 0;
    auto visit = [&](UINT16 sample) {
        sum += sample;
        largest = (sample > largest) ? sample : largest;
        smallest = (sample < smallest) ? sample : smallest;
    };
    VisitSamples(BufferPtr, visit);
    *min = smallest;
    *max = largest;
    Tegrun = sum;
}

// Counts the samples per bucket: bucket k (0..6) takes a sample below
// threshold[k] and not below any earlier threshold, bucket 7 the rest.
// The thresholds must not decrease. Counts are 16-bit.
void SortBuffer(const BYTE *BufferPtr, UINT16 *bucket, const UINT16 *threshold)
{
    UINT16 limits[MEDIAN_THRESHOLDS];
    UINT16 counts[MEDIAN_BUCKETS] = {0};
    for (BYTE k = 0; k < MEDIAN_THRESHOLDS; ++k) {
        limits[k] = threshold[k];
    }
    auto visit = [&](UINT16 sample) {
        const BYTE k = BucketOf(sample, limits);
        counts[k] = static_cast<UINT16>(counts[k] + 1u);
    };
    VisitSamples(BufferPtr, visit);
    for (BYTE k = 0; k < MEDIAN_BUCKETS; ++k) {
        bucket[k] = counts[k];
    }
}

namespace {

// The samples of a buffer as counts per value, turned into running totals:
// atMost[v] is the number of samples <= v for v from min to max.
struct SampleTotals {
    UINT16 *atMost;
    UINT16 min;  // smallest sample (1023 for an empty buffer, as MinMax starts)
    UINT16 max;  // largest sample (0 for an empty buffer)
    UINT16 total;
    UINT32 sum;
};

// One pass over the buffer: the count of each sample value (the QZ_SAMPLE_VALUES
// words of `totals.atMost`, cleared here), the smallest and largest sample and
// the 32-bit sum, with MinMax's starting values and strict comparisons.
void CountSamples(const BYTE *BufferPtr, SampleTotals &totals)
{
    UINT16 *counts = totals.atMost;
    memset(counts, 0, QZ_SAMPLE_VALUES * sizeof(UINT16));
    UINT16 smallest = QZ_SAMPLE_MAX;
    UINT16 largest = 0;
    UINT32 sum = 0;
    auto visit = [&](UINT16 sample) {
        counts[sample] = static_cast<UINT16>(counts[sample] + 1u);
        sum += sample;
        largest = (sample > largest) ? sample : largest;
        smallest = (sample < smallest) ? sample : smallest;
    };
    VisitSamples(BufferPtr, visit);
    totals.min = smallest;
    totals.max = largest;
    totals.sum = sum;
}

// Turns the counts from min to max into running totals; values outside hold
// no sample. Sets `total`.
void RunningTotals(SampleTotals &totals)
{
    UINT16 total = 0;
    for (UINT32 value = totals.min; value <= totals.max; ++value) {
        total = static_cast<UINT16>(total + totals.atMost[value]);
        totals.atMost[value] = total;
    }
    totals.total = total;
}

// Samples below `value`: none up to min, all above max, else atMost[value - 1].
UINT16 SamplesBelow(const SampleTotals &totals, UINT16 value)
{
    if (value <= totals.min) {
        return 0u;
    }
    return (value > totals.max) ? totals.total : totals.atMost[value - 1u];
}

// The counts SortBuffer would give for `Threshold` (non-decreasing), taken
// from the running totals: bucket k holds the samples below Threshold[k] less
// those below Threshold[k - 1]. Every sample lies in exactly one bucket either
// way, so the counts are the same numbers.
void CountBuckets(const SampleTotals &totals, const UINT16 *Threshold, UINT16 *Bucket)
{
    UINT16 below = 0;
    for (BYTE k = 0; k < MEDIAN_THRESHOLDS; ++k) {
        const UINT16 next = SamplesBelow(totals, Threshold[k]);
        Bucket[k] = static_cast<UINT16>(next - below);
        below = next;
    }
    Bucket[MEDIAN_LAST_BUCKET] = static_cast<UINT16>(totals.total - below);
}

// Estimates the median: narrows [min, max] to the bucket holding the median
// until the range is below 8 (or after 21 refinements), then takes the middle
// of the range, rounded down. The buckets are those SortBuffer counts over the
// buffer, so this is the search that counts them pass by pass. The result
// lies between min and max; an exact tie between two halves goes to the lower
// value.
UINT16 MedianOfTotals(const SampleTotals &totals)
{
    UINT16 Bucket[MEDIAN_BUCKETS];
    UINT16 Threshold[MEDIAN_THRESHOLDS];
    UINT16 min = totals.min;
    UINT16 max = totals.max;
    UINT16 range = static_cast<UINT16>(max - min);
    ComputeThresholds(min, range, Threshold);
    CountBuckets(totals, Threshold, Bucket);
    UINT16 LoopBreaker = 0;
    for (;;) {
        const BYTE m = FindMedianBucket(Bucket);
        if (m >= 1u) {
            min = Threshold[m - 1u];
        }
        if (m < MEDIAN_LAST_BUCKET) {
            max = Threshold[m];
        }
        range = static_cast<UINT16>(max - min);
        if (range < MEDIAN_MIN_RANGE) {
            break;
        }
        const bool exhausted = LoopBreaker > MEDIAN_MAX_REFINEMENTS;
        LoopBreaker = static_cast<UINT16>(LoopBreaker + 1u);
        if (exhausted) {
            break;
        }
        ComputeThresholds(min, range, Threshold);
        CountBuckets(totals, Threshold, Bucket);
    }
    return static_cast<UINT16>(min + range / 2u);
}

}  // namespace

// One pass over the buffer counts each sample value and finds the smallest
// and largest sample and the sum (left in Tegrun); the running totals of the
// counts then give every bucket count of the median search without another
// pass.
void MinMaxMedian(const BYTE *BufferPtr, UINT16 *min, UINT16 *max, UINT16 *median)
{
    SampleTotals totals{SampleValueCounts(), 0, 0, 0, 0};
    CountSamples(BufferPtr, totals);
    RunningTotals(totals);
    Tegrun = totals.sum;
    *min = totals.min;
    *max = totals.max;
    *median = MedianOfTotals(totals);
}

// The median of the buffer as MinMaxMedian estimates it (which leaves the
// sample sum in Tegrun, as a MinMax would).
void Median(const BYTE *BufferPtr, UINT16 *median)
{
    UINT16 min;
    UINT16 max;
    MinMaxMedian(BufferPtr, &min, &max, median);
}

}  // namespace qz
