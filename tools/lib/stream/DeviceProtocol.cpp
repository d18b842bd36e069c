// SPDX-License-Identifier: Apache-2.0
#include "stream/DeviceProtocol.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "io/TextFormat.h"
#include "run/RecordLength.h"

namespace qzkit {
namespace {

constexpr std::size_t kHexDigitsPerWord = 4;

std::vector<std::string_view> SplitAtSpaces(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (std::size_t start = 0; start <= line.size();) {
        const std::size_t space = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, space - start));
        start = space + 1;
    }
    return fields;
}

template <typename Number>
bool ParseWhole(std::string_view text, Number &value, int base)
{
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    return !text.empty() && error == std::errc() && stop == end;
}

}  // namespace

bool IsResultLine(std::string_view line)
{
    return line.size() > kResultKeyword.size() && line.substr(0, kResultKeyword.size()) == kResultKeyword &&
           line[kResultKeyword.size()] == ' ';
}

std::optional<DeviceResult> ParseResultLine(std::string_view line)
{
    const std::vector<std::string_view> fields = SplitAtSpaces(line);
    if (fields.size() != 3 + kResultRecordWords || fields[0] != kResultKeyword) {
        return std::nullopt;
    }
    DeviceResult result;
    if (!ParseWhole(fields[1], result.end, 10) || !ParseWhole(fields[2], result.length, 10) ||
        !IsRecordLength(result.length) || result.end < result.length) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kResultRecordWords; ++i) {
        const std::string_view word = fields[3 + i];
        if (word.size() != kHexDigitsPerWord || !ParseWhole(word, result.words[i], 16)) {
            return std::nullopt;
        }
    }
    return result;
}

std::string ResultWordsText(const ResultWords &words)
{
    std::string text;
    for (const std::uint16_t word : words) {
        text += Format(text.empty() ? "%04x" : " %04x", static_cast<unsigned>(word));
    }
    return text;
}

std::string ResultLine(const DeviceResult &result)
{
    return std::string(kResultKeyword) + ' ' + std::to_string(result.end) + ' ' + std::to_string(result.length) + ' ' +
           ResultWordsText(result.words);
}

}  // namespace qzkit
