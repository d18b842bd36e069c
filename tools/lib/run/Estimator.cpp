#include "run/Estimator.h"

#include <algorithm>
#include <iterator>

#include "QZ_Filters.h"
#include "QZ_Helpers.h"
#include "QZ_Library_Configuration.h"
#include "ToolkitError.h"

// The library's file operations for in-process runs: nothing is read, and
// every write (stage dumps, method dump) is accepted and dropped. Defined in
// the estimator's own object so that linking the estimator brings them in
// instead of the stdio pair.
int hlp_readBinaryDataFile(const char *, const char *, void *, int, size_t)
{
    return 0;
}

int hlp_writeBinaryDataFile(const char *, const char *, const void *, int length, size_t)
{
    return length > 0 ? length : 0;
}

namespace qzkit {
namespace {

constexpr std::size_t kLongWindow = 1500;
constexpr std::size_t kShortWindow = 600;
constexpr std::uint16_t kDerivativeFivePoint = 5;
constexpr std::uint16_t kDerivativeTwoPoint = 2;

// The configuration fields of the flag word, as the tool's driver stores them.
void ConfigureFilter(const EstimatorSettings &settings)
{
    Filter.set(FilterBits::BeatClassifyingMethod, static_cast<UINT16>(settings.beatMethod % 8u));
    Filter.set(FilterBits::VariablePeakThreshold, settings.peakDetection != 0u ? 1u : 0u);
    Filter.set(FilterBits::DerivativeOrder,
               settings.derivativeOrder == kDerivativeFivePoint ? kDerivativeFivePoint : kDerivativeTwoPoint);
}

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

InProcessEstimator::InProcessEstimator(const ConstantsImage &constants, const EstimatorSettings &settings)
    : constants_(constants), settings_(settings)
{
}

Estimate InProcessEstimator::Run(const std::vector<std::uint16_t> &window) const
{
    if (window.size() != kLongWindow && window.size() != kShortWindow) {
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
    SampleCount = static_cast<UINT16>(window.size());
    BufferSize = static_cast<UINT16>(window.size() / QZ_GROUP_SAMPLES * QZ_GROUP_BYTES);
    CalcHeart_BufferLength = BufferSize;
    LogLevel = 0;
    ConfigureFilter(settings_);
    hlp_convertSamplingTo64bitFloat(constants_.data(), &HeartSampling);
    hlp_convertUnpackedToPacked(window.data(), buffer);

    const UINT16 result =
        CalculateHeartRate(buffer, static_cast<BYTE>(settings_.stageMask & 0xFFu), "qzkit-window");
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
