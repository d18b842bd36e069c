// SPDX-License-Identifier: Apache-2.0
// The C interface: checks the arguments, sets the library up from its
// program-start state as the command-line tool does, runs the pipeline and
// copies the result record's fields out.
#include <string.h>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>
#include <qz_vozozi_DE/qz_heart_rate.h>

namespace qz {
namespace {

static_assert(sizeof(qz_statistics) == sizeof(new_tm_struct), "the statistics are the tm2 record");

// The packed recording of qz_estimate.
BYTE packedRecord[QZ_MAX_BUFFER_BYTES];

run_settings_struct RunSettings(const qz_settings *settings)
{
    run_settings_struct run;
    if (settings != nullptr) {
        run.StageMask = settings->stage_mask;
        run.PeakDetection = settings->peak_detection;
        run.BeatMethod = settings->beat_method;
        run.DerivativeOrder = settings->derivative_order;
    }
    return run;
}

// The sample count of a packed buffer of `bytes` bytes, or 0 for any other size.
UINT16 PackedSampleCount(size_t bytes)
{
    if (bytes == static_cast<size_t>(QZ_PACKED_BYTES(QZ_LONG_RECORD_SAMPLES))) {
        return QZ_LONG_RECORD_SAMPLES;
    }
    return bytes == static_cast<size_t>(QZ_PACKED_BYTES(QZ_SHORT_RECORD_SAMPLES)) ? QZ_SHORT_RECORD_SAMPLES : 0u;
}

// Resets the library and prepares a run over `samples` samples, with the
// constants converted. Refuses before it changes any state.
qz_status PrepareRun(const uint8_t *constants, size_t constantsBytes, size_t samples, const run_settings_struct &run)
{
    if (constants == nullptr) {
        return QZ_ERROR_ARGUMENT;
    }
    if (constantsBytes != QZ_CONSTANTS_FILE_BYTES) {
        return QZ_ERROR_CONSTANTS;
    }
    if (samples != QZ_LONG_RECORD_SAMPLES && samples != QZ_SHORT_RECORD_SAMPLES) {
        return QZ_ERROR_LENGTH;
    }
    QZ_ResetLibraryState();
    (void)QZ_PrepareRun(static_cast<UINT16>(samples), &run);
    hlp_convertSamplingTo64bitFloat(constants, &HeartSampling);
    return QZ_OK;
}

void CopyStatistics(qz_statistics &statistics)
{
    statistics.qi_pattern = tm2.QI;
    statistics.max_peak = tm2.MaxPeak;
    statistics.min_peak = tm2.MinPeak;
    statistics.high_peak_threshold = tm2.HighPeakThreshold;
    statistics.low_peak_threshold = tm2.LowPeakThreshold;
    statistics.median = tm2.Median;
    statistics.high_bucket = tm2.HighBucket;
    statistics.low_bucket = tm2.LowBucket;
    statistics.middle_bucket = tm2.MiddleBucket;
    statistics.signal_sum = tm2.Tegur;
}

// Runs the pipeline over the prepared library and fills *result.
void Run(BYTE *packed, const run_settings_struct &run, const char *recordName, qz_result *result)
{
    const UINT16 word = CalculateHeartRate(packed, static_cast<BYTE>(run.StageMask & 0xFFu), recordName);
    result->bpm = static_cast<uint16_t>(word & QZ_RESULT_BPM_MASK);
    result->qi = static_cast<uint16_t>(word >> QZ_RESULT_QI_SHIFT);
    result->classified = Filter.get(FilterBits::UseTemplateMatch);
    result->peak_count = GloballyAccessiblePeaks;
    memcpy(result->peak_locations, GloballyAccessibleIntervals, sizeof result->peak_locations);
    CopyStatistics(result->statistics);
}

}  // namespace
}  // namespace qz

extern "C" {

const char *qz_version(void)
{
    return QZ_VERSION_NUMBER;
}

qz_settings qz_default_settings(void)
{
    const qz::run_settings_struct defaults;
    return qz_settings{defaults.StageMask, defaults.PeakDetection, defaults.BeatMethod, defaults.DerivativeOrder};
}

// Seven parameters: a C interface passes each input as a pointer and its length.
qz_status qz_estimate(const uint8_t *constants, size_t constants_bytes, const uint16_t *samples,  // NOLINT(readability-function-size)
                      size_t sample_count, const qz_settings *settings, const char *record_name, qz_result *result)
{
    if (samples == nullptr || result == nullptr) {
        return QZ_ERROR_ARGUMENT;
    }
    const qz::run_settings_struct run = qz::RunSettings(settings);
    const qz_status status = qz::PrepareRun(constants, constants_bytes, sample_count, run);
    if (status != QZ_OK) {
        return status;
    }
    qz::hlp_convertUnpackedToPacked(samples, qz::packedRecord);
    qz::Run(qz::packedRecord, run, record_name, result);
    return QZ_OK;
}

qz_status qz_estimate_packed(const uint8_t *constants, size_t constants_bytes, uint8_t *packed,  // NOLINT(readability-function-size)
                             size_t packed_bytes, const qz_settings *settings, const char *record_name,
                             qz_result *result)
{
    if (packed == nullptr || result == nullptr) {
        return QZ_ERROR_ARGUMENT;
    }
    const qz::run_settings_struct run = qz::RunSettings(settings);
    const qz_status status = qz::PrepareRun(constants, constants_bytes, qz::PackedSampleCount(packed_bytes), run);
    if (status != QZ_OK) {
        return status;
    }
    qz::Run(packed, run, record_name, result);
    return QZ_OK;
}

}  // extern "C"
