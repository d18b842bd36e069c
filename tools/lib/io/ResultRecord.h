// SPDX-License-Identifier: Apache-2.0
// The tool's result record (.out, 43 words) and its statistics block, the
// image of the beat-rate estimation's statistics record that the method dump
// (thresholdmethod.info) also holds.
#ifndef QZKIT_RESULT_RECORD_H
#define QZKIT_RESULT_RECORD_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_Filters.h>

namespace qzkit {

inline constexpr std::size_t kStoredPeaks = QZ_MAX_PEAKS;
inline constexpr std::size_t kResultRecordWords = QZ_RESULT_RECORD_WORDS;
inline constexpr std::size_t kStatisticsWords = QZ_TM_WORDS;
inline constexpr std::size_t kResultRecordBytes = 2u * kResultRecordWords;
inline constexpr std::size_t kStatisticsBytes = 2u * kStatisticsWords;

// The record's words as the tool writes them.
using ResultWords = std::array<std::uint16_t, kResultRecordWords>;

// tm2, the beat-rate estimation's statistics record (28 bytes, 14 words).
struct StatisticsBlock {
    std::uint16_t qiPattern = 0;
    std::uint16_t maxPeak = 0;
    std::uint16_t minPeak = 0;
    std::uint16_t highPeakThreshold = 0;
    std::uint16_t lowPeakThreshold = 0;
    std::uint16_t median = 0;
    std::uint32_t highBucket = 0;
    std::uint32_t lowBucket = 0;
    std::uint32_t middleBucket = 0;
    std::uint32_t tegur = 0;

    bool operator==(const StatisticsBlock &) const = default;
};

// The result of one run: the 43-word result record (.out) field by field.
struct ResultRecord {
    std::uint16_t bpm = 0;
    std::uint16_t qi = 0;
    bool classified = false;     // a beat-classification method chose the interval (Filter.UseTemplateMatch)
    std::uint16_t peakCount = 0;  // as found, not limited to the 25 stored
    std::array<std::uint16_t, kStoredPeaks> peakLocations{};  // one-based; 0 = not set
    StatisticsBlock statistics;
};

// The fields of the record's words.
ResultRecord ResultRecordOf(const ResultWords &words);

// Both throw ToolkitError unless given exactly 86 or 28 bytes; `what` names
// the source in the message.
ResultRecord ParseResultRecord(const std::vector<std::uint8_t> &bytes, const std::string &what);
StatisticsBlock ParseStatistics(const std::vector<std::uint8_t> &bytes, const std::string &what);

}  // namespace qzkit

#endif
