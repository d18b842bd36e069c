// SPDX-License-Identifier: Apache-2.0
// The result record of a run, assembled from the result word and the state
// the pipeline leaves.
#include <qz_vozozi_DE/QZ_Filters.h>

namespace qz {

namespace {

UINT16 LowHalf(UINT32 value)
{
    return static_cast<UINT16>(value & 0xFFFFu);
}

UINT16 HighHalf(UINT32 value)
{
    return static_cast<UINT16>(value >> 16);
}

// The tm2 image as 14 words in field order, each 32-bit field low half first.
void CopyStatisticsBlock(UINT16 *block)
{
    const UINT16 words[QZ_TM_WORDS] = {
        tm2.QI,         tm2.MaxPeak,    tm2.MinPeak,    tm2.HighPeakThreshold, tm2.LowPeakThreshold,
        tm2.Median,     LowHalf(tm2.HighBucket),        HighHalf(tm2.HighBucket),
        LowHalf(tm2.LowBucket),         HighHalf(tm2.LowBucket),               LowHalf(tm2.MiddleBucket),
        HighHalf(tm2.MiddleBucket),     LowHalf(tm2.Tegur),                    HighHalf(tm2.Tegur),
    };
    for (unsigned i = 0; i < QZ_TM_WORDS; ++i) {
        block[i] = words[i];
    }
}

}  // namespace

void QZ_AssembleResultRecord(UINT16 resultWord, UINT16 *record)
{
    record[0] = static_cast<UINT16>(resultWord & QZ_RESULT_BPM_MASK);
    record[1] = static_cast<UINT16>(resultWord >> QZ_RESULT_QI_SHIFT);
    record[2] = Filter.get(FilterBits::UseTemplateMatch);
    record[3] = GloballyAccessiblePeaks;
    for (unsigned i = 0; i < QZ_MAX_PEAKS; ++i) {
        record[QZ_RESULT_PEAKS_START + i] = GloballyAccessibleIntervals[i];
    }
    CopyStatisticsBlock(&record[QZ_RESULT_METADATA_START]);
}

}  // namespace qz
