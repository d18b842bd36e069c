// Buffer statistics over the packed buffer without unpacking it: minimum,
// maximum and sample sum, and the median estimated by repeated eight-bucket
// histograms that narrow the search range. None of them writes the buffer.
#include <string.h>

#include "PackedGroup.h"
#include "PipelineState.h"
#include "QZ_Filters.h"

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

// Counts per sample value of every sample of the buffer into `counts`
// (QZ_SAMPLE_VALUES words, cleared here): one pass instead of one pass per
// refinement of the median search.
void CountSampleValues(const BYTE *BufferPtr, UINT16 *counts)
{
    memset(counts, 0, QZ_SAMPLE_VALUES * sizeof(UINT16));
    auto visit = [counts](UINT16 sample) { counts[sample] = static_cast<UINT16>(counts[sample] + 1u); };
    VisitSamples(BufferPtr, visit);
}

// Samples below `value`, from the running totals (atMost[v]: samples <= v).
UINT16 SamplesBelow(const UINT16 *atMost, UINT16 total, UINT16 value)
{
    if (value == 0u) {
        return 0u;
    }
    return (value > QZ_SAMPLE_MAX) ? total : atMost[value - 1u];
}

// The counts SortBuffer would give for `Threshold` (non-decreasing), taken
// from the running totals: bucket k holds the samples below Threshold[k] less
// those below Threshold[k - 1]. Every sample lies in exactly one bucket either
// way, so the counts are the same numbers.
void CountBuckets(const UINT16 *atMost, UINT16 total, const UINT16 *Threshold, UINT16 *Bucket)
{
    UINT16 below = 0;
    for (BYTE k = 0; k < MEDIAN_THRESHOLDS; ++k) {
        const UINT16 next = SamplesBelow(atMost, total, Threshold[k]);
        Bucket[k] = static_cast<UINT16>(next - below);
        below = next;
    }
    Bucket[MEDIAN_LAST_BUCKET] = static_cast<UINT16>(total - below);
}

// Estimates the median of samples from `min` to `max` given as running totals
// (atMost[v]: samples <= v, `total` in all): narrows [min, max] to the bucket
// holding the median until the range is below 8 (or after 21 refinements),
// then takes the middle of the range, rounded down. The buckets are those
// SortBuffer counts over the buffer, so this is the search that counts them
// pass by pass. The result lies between min and max; an exact tie between two
// halves goes to the lower value.
UINT16 MedianOfTotals(const UINT16 *atMost, UINT16 total, UINT16 min, UINT16 max)
{
    UINT16 Bucket[MEDIAN_BUCKETS];
    UINT16 Threshold[MEDIAN_THRESHOLDS];
    UINT16 range = static_cast<UINT16>(max - min);
    ComputeThresholds(min, range, Threshold);
    CountBuckets(atMost, total, Threshold, Bucket);
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
        CountBuckets(atMost, total, Threshold, Bucket);
    }
    return static_cast<UINT16>(min + range / 2u);
}

}  // namespace

// One pass over the buffer counts each sample value; the running totals of
// those counts then give the smallest and largest sample (1023 and 0 for an
// empty buffer, as MinMax starts), the 32-bit sample sum (left in Tegrun,
// value times count: the same exact sum) and the bucket median.
void MinMaxMedian(const BYTE *BufferPtr, UINT16 *min, UINT16 *max, UINT16 *median)
{
    UINT16 *atMost = SampleValueCounts();
    CountSampleValues(BufferPtr, atMost);
    UINT16 total = 0;
    UINT16 emptyValues = 0;  // values below the smallest sample
    UINT16 largest = 0;
    UINT32 sum = 0;
    for (UINT16 value = 0; value < QZ_SAMPLE_VALUES; ++value) {
        const UINT16 count = atMost[value];
        sum += static_cast<UINT32>(count) * value;
        largest = (count != 0u) ? value : largest;
        total = static_cast<UINT16>(total + count);
        emptyValues = static_cast<UINT16>(emptyValues + ((total == 0u) ? 1u : 0u));
        atMost[value] = total;
    }
    const UINT16 smallest = (emptyValues > QZ_SAMPLE_MAX) ? static_cast<UINT16>(QZ_SAMPLE_MAX) : emptyValues;
    Tegrun = sum;
    *min = smallest;
    *max = largest;
    *median = MedianOfTotals(atMost, total, smallest, largest);
}

// The median of the buffer as MinMaxMedian estimates it (which leaves the
// sample sum in Tegrun, as a MinMax would).
void Median(const BYTE *BufferPtr, UINT16 *median)
{
    UINT16 min;
    UINT16 max;
    MinMaxMedian(BufferPtr, &min, &max, median);
}
