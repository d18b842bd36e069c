// SPDX-License-Identifier: Apache-2.0
// Storage of the library's global state and of the run configuration, and
// the set-up of a run.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "PipelineState.h"

namespace qz {

UINT16 SampleCount = QZ_MAX_SAMPLES;
UINT16 BufferSize = QZ_MAX_BUFFER_BYTES;
UINT16 LogLevel = 0;

flags_filters Filter;
sampling_frequency_struct HeartSampling;
UINT16 CalcHeart_BufferLength;
UINT16 CalcHeart_SampleCount;
UINT16 CalcHeart_BufferMin;
UINT16 CalcHeart_BufferMax;
UINT16 CalcHeart_BufferMedian;
UINT16 CalcHeart_BufferAmplitude;
UINT32 Tegrun;
peak_interval_struct Peak[QZ_MAX_CANDIDATES];
UINT16 PeakValues[QZ_MAX_PEAKS];
BYTE GloballyAccessiblePeaks;
UINT16 GloballyAccessibleIntervals[QZ_MAX_PEAKS];
BYTE GlobalTemplatePeakUsed;
new_tm_struct tm2;
UINT16 SEC_PER_MINUTE = 60;
UINT16 FirstLast;
bool MethodDumpEnabled = true;

// Triangular weighting of a window maximum by its position; centre at 15.
const BYTE PeakTemplate[QZ_TEMPLATE_LENGTH] = {1,  2,  2,  3,  4,  4,  5,  6, 7, 8, 9, 10, 11, 12, 13, 14,
                                               13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 4, 3, 2, 2, 1};

void QZ_ResetLibraryState(void)
{
    SampleCount = QZ_MAX_SAMPLES;
    BufferSize = QZ_MAX_BUFFER_BYTES;
    LogLevel = 0;
    Filter.Filter = 0;
    HeartSampling = sampling_frequency_struct{};
    CalcHeart_BufferLength = 0;
    CalcHeart_SampleCount = 0;
    CalcHeart_BufferMin = 0;
    CalcHeart_BufferMax = 0;
    CalcHeart_BufferMedian = 0;
    CalcHeart_BufferAmplitude = 0;
    Tegrun = 0;
    memset(Peak, 0, sizeof Peak);
    memset(PeakValues, 0, sizeof PeakValues);
    GloballyAccessiblePeaks = 0;
    memset(GloballyAccessibleIntervals, 0, sizeof GloballyAccessibleIntervals);
    GlobalTemplatePeakUsed = 0;
    memset(&tm2, 0, sizeof tm2);
    SEC_PER_MINUTE = 60;
    FirstLast = 0;
    MethodDumpEnabled = true;
}

UINT16 QZ_ParseSetting(const char *text)
{
    long value = strtol(text, NULL, 10);
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    const UINT32 bits = static_cast<UINT32>(static_cast<INT32>(value));
    return static_cast<UINT16>(bits & 0xFFFFu);
}

UINT16 QZ_DerivativeOrder(UINT16 requested)
{
    return requested == QZ_DERIVATIVE_FIVE_POINT ? static_cast<UINT16>(QZ_DERIVATIVE_FIVE_POINT)
                                                 : static_cast<UINT16>(QZ_DERIVATIVE_TWO_POINT);
}

bool QZ_SetRecordLength(UINT16 samples)
{
    if (samples != QZ_LONG_RECORD_SAMPLES && samples != QZ_SHORT_RECORD_SAMPLES) {
        return false;
    }
    SampleCount = samples;
    BufferSize = static_cast<UINT16>(QZ_PACKED_BYTES(samples));
    CalcHeart_BufferLength = BufferSize;
    return true;
}

bool QZ_PrepareRun(UINT16 samples, const run_settings_struct *settings)
{
    if (!QZ_SetRecordLength(samples)) {
        return false;
    }
    Filter.set(FilterBits::BeatClassifyingMethod, static_cast<UINT16>(settings->BeatMethod % 8u));
    Filter.set(FilterBits::VariablePeakThreshold, settings->PeakDetection != 0u ? 1u : 0u);
    Filter.set(FilterBits::DerivativeOrder, QZ_DerivativeOrder(settings->DerivativeOrder));
    return true;
}

}  // namespace qz
