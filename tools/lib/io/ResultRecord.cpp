// SPDX-License-Identifier: Apache-2.0
#include "io/ResultRecord.h"

#include <algorithm>

#include "ToolkitError.h"
#include "io/LittleEndian.h"

namespace qzkit {
namespace {

std::uint32_t LongOf(const std::uint16_t *words)
{
    return static_cast<std::uint32_t>(words[0]) | (static_cast<std::uint32_t>(words[1]) << 16);
}

// `count` words from the start of a record or block; throws unless the bytes are exactly that many.
std::vector<std::uint16_t> WordsOf(const std::vector<std::uint8_t> &bytes, std::size_t count, const std::string &what)
{
    if (bytes.size() != 2u * count) {
        throw ToolkitError(what + ": " + std::to_string(bytes.size()) + " bytes, expected " +
                           std::to_string(2u * count));
    }
    std::vector<std::uint16_t> words(count);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] = WordAt(bytes, i);
    }
    return words;
}

StatisticsBlock StatisticsOf(const std::uint16_t *words)
{
    StatisticsBlock block;
    block.qiPattern = words[0];
    block.maxPeak = words[1];
    block.minPeak = words[2];
    block.highPeakThreshold = words[3];
    block.lowPeakThreshold = words[4];
    block.median = words[5];
    block.highBucket = LongOf(words + 6);
    block.lowBucket = LongOf(words + 8);
    block.middleBucket = LongOf(words + 10);
    block.tegur = LongOf(words + 12);
    return block;
}

}  // namespace

ResultRecord ResultRecordOf(const ResultWords &words)
{
    ResultRecord result;
    result.bpm = words[0];
    result.qi = words[1];
    result.classified = words[2] != 0;
    result.peakCount = words[3];
    std::copy_n(words.begin() + QZ_RESULT_PEAKS_START, kStoredPeaks, result.peakLocations.begin());
    result.statistics = StatisticsOf(words.data() + QZ_RESULT_METADATA_START);
    return result;
}

StatisticsBlock ParseStatistics(const std::vector<std::uint8_t> &bytes, const std::string &what)
{
    return StatisticsOf(WordsOf(bytes, kStatisticsWords, what).data());
}

ResultRecord ParseResultRecord(const std::vector<std::uint8_t> &bytes, const std::string &what)
{
    const std::vector<std::uint16_t> words = WordsOf(bytes, kResultRecordWords, what);
    ResultWords record{};
    std::copy(words.begin(), words.end(), record.begin());
    return ResultRecordOf(record);
}

}  // namespace qzkit
