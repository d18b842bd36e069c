// SPDX-License-Identifier: Apache-2.0
#include "stream/StreamDecoder.h"

#include <algorithm>

#include "io/TextParsing.h"

namespace qzkit {
namespace {

constexpr char kCommentMark = '#';

std::string Trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::vector<std::string> SplitCsvFields(const std::string &line)
{
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == ',' || c == ';' || c == '\t') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    for (std::string &field : fields) {
        field = Trimmed(field);
    }
    return fields;
}

bool AllDigits(const std::string &text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

const std::map<std::string, StreamFormat> &StreamFormatNames()
{
    static const std::map<std::string, StreamFormat> names{
        {"text", StreamFormat::Text}, {"u16le", StreamFormat::Unsigned16}, {"s16le", StreamFormat::Signed16}};
    return names;
}

StreamDecoder::StreamDecoder(StreamFormat format, std::string column) : format_(format), column_(std::move(column))
{
    if (AllDigits(column_) && column_.size() < 6) {
        columnIndex_ = std::stoul(column_);
    }
}

void StreamDecoder::Feed(std::span<const std::uint8_t> bytes, std::vector<StreamEvent> &events)
{
    for (const std::uint8_t byte : bytes) {
        if (format_ != StreamFormat::Text) {
            if (!lowByte_) {
                lowByte_ = byte;
                continue;
            }
            const auto word = static_cast<std::uint16_t>(*lowByte_ | byte << 8);
            lowByte_.reset();
            StreamEvent event;
            event.value = format_ == StreamFormat::Signed16 ? std::int64_t{static_cast<std::int16_t>(word)} : word;
            events.push_back(event);
        } else if (byte == '\n') {
            EndLine(events);
        } else if (line_.size() < kLongestLine) {
            line_ += static_cast<char>(byte);
        } else {
            overlong_ = true;
        }
    }
}

void StreamDecoder::Finish(std::vector<StreamEvent> &events)
{
    if (!line_.empty() || overlong_) {
        EndLine(events);
    }
}

void StreamDecoder::EndLine(std::vector<StreamEvent> &events)
{
    std::string line;
    line.swap(line_);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (overlong_) {
        overlong_ = false;
        events.push_back({StreamEvent::Kind::BadLine, 0, {}, line});
        return;
    }
    DecodeLine(line, events);
}

void StreamDecoder::DecodeLine(const std::string &line, std::vector<StreamEvent> &events)
{
    if (line.find_first_not_of(" \t") == std::string::npos || line.front() == kCommentMark) {
        return;
    }
    if (line == kEndLine) {
        events.push_back({StreamEvent::Kind::End, 0, {}, {}});
        return;
    }
    if (IsResultLine(line)) {
        if (const std::optional<DeviceResult> result = ParseResultLine(line)) {
            events.push_back({StreamEvent::Kind::Result, 0, *result, {}});
        } else {
            events.push_back({StreamEvent::Kind::BadLine, 0, {}, line});
        }
        return;
    }
    std::int64_t value = 0;
    const std::optional<std::string> field = SampleField(line);
    if (field && ParseInteger(*field, value)) {
        events.push_back({StreamEvent::Kind::Sample, value, {}, {}});
    } else if (field) {
        events.push_back({StreamEvent::Kind::BadLine, 0, {}, line});
    }
}

// The text of the sample's column; none for the header line that names it.
std::optional<std::string> StreamDecoder::SampleField(const std::string &line)
{
    if (column_.empty()) {
        return Trimmed(line);
    }
    const std::vector<std::string> fields = SplitCsvFields(line);
    if (!columnIndex_) {
        const auto named = std::find(fields.begin(), fields.end(), column_);
        if (named == fields.end()) {
            return std::string();  // a bad line until a header names the column
        }
        columnIndex_ = static_cast<std::size_t>(named - fields.begin());
        return std::nullopt;
    }
    return *columnIndex_ < fields.size() ? fields[*columnIndex_] : std::string();
}

}  // namespace qzkit
