#include "io/ResultRecord.h"

#include "ToolkitError.h"
#include "io/LittleEndian.h"

namespace qzkit {

StatisticsBlock ParseStatistics(const std::vector<std::uint8_t> &bytes, const std::string &what)
{
    if (bytes.size() != kStatisticsBytes) {
        throw ToolkitError(what + ": " + std::to_string(bytes.size()) + " bytes, expected 28");
    }
    StatisticsBlock block;
    block.qiPattern = WordAt(bytes, 0);
    block.maxPeak = WordAt(bytes, 1);
    block.minPeak = WordAt(bytes, 2);
    block.highPeakThreshold = WordAt(bytes, 3);
    block.lowPeakThreshold = WordAt(bytes, 4);
    block.median = WordAt(bytes, 5);
    block.highBucket = LongAt(bytes, 6);
    block.lowBucket = LongAt(bytes, 8);
    block.middleBucket = LongAt(bytes, 10);
    block.tegur = LongAt(bytes, 12);
    return block;
}

ResultRecord ParseResultRecord(const std::vector<std::uint8_t> &bytes, const std::string &what)
{
    if (bytes.size() != kResultRecordBytes) {
        throw ToolkitError(what + ": " + std::to_string(bytes.size()) + " bytes, expected 86");
    }
    constexpr std::size_t kFirstLocationWord = 4;
    constexpr std::size_t kStatisticsOffset = 58;
    ResultRecord result;
    result.bpm = WordAt(bytes, 0);
    result.qi = WordAt(bytes, 1);
    result.usedBeatClassification = WordAt(bytes, 2) != 0;
    result.peakCount = WordAt(bytes, 3);
    for (std::size_t i = 0; i < kStoredPeaks; ++i) {
        result.peakLocations[i] = WordAt(bytes, kFirstLocationWord + i);
    }
    const std::vector<std::uint8_t> statistics(bytes.begin() + kStatisticsOffset, bytes.end());
    result.statistics = ParseStatistics(statistics, what);
    return result;
}

}  // namespace qzkit
