#include "run/Estimator.h"

#include <algorithm>
#include <iterator>

#include "QZ_Filters.h"
#include "QZ_Helpers.h"
#include "QZ_Library_Configuration.h"
#include "QZ_MemoryFiles.h"
#include "ToolkitError.h"
#include "run/RecordLength.h"

namespace qzkit {
namespace {

StatisticsBlock StatisticsOf(const new_tm_struct &record)
{
    StatisticsBlock block;
    block.qiPattern = record.QI;
    block.maxPeak = record.MaxPeak;
    block.minPeak = record.MinPeak;
    block.highPeakThreshold = record.HighPeakThreshold;
    block.lowPeakThreshold = record.LowPeakThreshold;
    block.median = record.Median;
    block.highBucket = record.HighBucket;
    block.lowBucket = record.LowBucket;
    block.middleBucket = record.MiddleBucket;
    block.tegur = record.Tegur;
    return block;
}

}  // namespace

double ConstantsRate(const ConstantsImage &constants)
{
    return 1.0 / static_cast<double>(ToSamplingRecord(constants).Period);
}

InProcessEstimator::InProcessEstimator(const ConstantsImage &constants, const run_settings_struct &settings)
    : constants_(constants), settings_(settings)
{
}

Estimate InProcessEstimator::Run(const std::vector<std::uint16_t> &window) const
{
    if (!IsRecordLength(window.size())) {
        throw ToolkitError("a window has 1500 or 600 samples, not " + std::to_string(window.size()));
    }
    for (std::size_t i = 0; i < window.size(); ++i) {
        if (window[i] > 1023u) {
            throw ToolkitError("sample " + std::to_string(i) + " is " + std::to_string(window[i]) +
                               ", above the 10-bit range");
        }
    }
    static BYTE buffer[QZ_MAX_BUFFER_BYTES];

    QZ_ResetLibraryState();
    qzmem::Clear();
    qzmem::SetDiscardWrites(true);
    (void)QZ_PrepareRun(static_cast<UINT16>(window.size()), &settings_);
    hlp_convertSamplingTo64bitFloat(constants_.data(), &HeartSampling);
    hlp_convertUnpackedToPacked(window.data(), buffer);

    const UINT16 result =
        CalculateHeartRate(buffer, static_cast<BYTE>(settings_.StageMask & 0xFFu), "qzkit-window");
    Estimate estimate;
    estimate.bpm = static_cast<std::uint16_t>(result & RESULT_BPM_MASK);
    estimate.qi = static_cast<std::uint16_t>(result >> RESULT_QI_SHIFT);
    estimate.peaks = GloballyAccessiblePeaks;
    estimate.usedBeatMethod = Filter.isSet(FilterBits::UseTemplateMatch);
    std::copy(std::begin(GloballyAccessibleIntervals), std::end(GloballyAccessibleIntervals),
              estimate.peakLocations.begin());
    estimate.statistics = StatisticsOf(tm2);
    return estimate;
}

}  // namespace qzkit
