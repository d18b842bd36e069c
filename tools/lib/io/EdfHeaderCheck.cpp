// SPDX-License-Identifier: Apache-2.0
#include "io/EdfHeaderCheck.h"

#include <string_view>

#include "io/TextParsing.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

// Offsets and widths of the main header fields, and of the per-signal fields
// (each a block of `width` bytes per signal, `offset` signal blocks in).
struct Field {
    std::size_t offset;
    std::size_t width;
};
constexpr Field kVersion{0, 8};
constexpr Field kStartDate{168, 8};
constexpr Field kHeaderBytes{184, 8};
constexpr Field kRecords{236, 8};
constexpr Field kRecordDuration{244, 8};
constexpr Field kSignals{252, 4};
constexpr std::size_t kSamplesPerRecordBlock = 216;  // per-signal fields before "samples per record"
constexpr std::size_t kEdfHeaderBlock = 256;  // the main header, and each signal's
constexpr std::size_t kMaxSignals = kEdfLargestHeader / kEdfHeaderBlock - 1;
constexpr std::string_view kBdfVersion = "\xFF" "BIOSEMI";

std::string Text(const std::vector<std::uint8_t> &head, std::size_t offset, std::size_t width)
{
    std::string text(head.begin() + static_cast<std::ptrdiff_t>(offset),
                     head.begin() + static_cast<std::ptrdiff_t>(offset + width));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

bool ReadCount(const std::string &text, std::int64_t low, std::int64_t high, std::int64_t &value)
{
    return ParseInteger(text, value) && value >= low && value <= high;
}

// The per-record bytes of all signals, or an empty text naming the problem.
std::string RecordBytes(const std::vector<std::uint8_t> &head, std::size_t signals, std::size_t bytesPerSample,
                        std::uint64_t &recordBytes)
{
    recordBytes = 0;
    for (std::size_t signal = 0; signal < signals; ++signal) {
        const std::size_t offset = kEdfHeaderBlock + kSamplesPerRecordBlock * signals + 8 * signal;
        std::int64_t samples = 0;
        if (!ReadCount(Text(head, offset, 8), 1, 1 << 24, samples)) {
            return "signal " + std::to_string(signal) + ": samples per data record " +
                   Quoted(Text(head, offset, 8)) + " is not a positive whole number";
        }
        recordBytes += static_cast<std::uint64_t>(samples) * bytesPerSample;
    }
    return {};
}

}  // namespace

std::string DescribeEdfProblem(const std::vector<std::uint8_t> &head, std::uint64_t fileSize)
{
    if (fileSize < kEdfHeaderBlock || head.size() < kEdfHeaderBlock) {
        return std::to_string(fileSize) + " bytes, shorter than an EDF header (256 bytes)";
    }
    const std::string version = Text(head, kVersion.offset, kVersion.width);
    const bool bdf = version == kBdfVersion;
    if (version != "0" && !bdf) {
        return "does not begin as an EDF file (\"0\") or a BDF file (0xFF \"BIOSEMI\")";
    }
    std::int64_t signals = 0;
    if (!ReadCount(Text(head, kSignals.offset, kSignals.width), 1, kMaxSignals, signals)) {
        return "number of signals " + Quoted(Text(head, kSignals.offset, kSignals.width)) + " is not 1 to 640";
    }
    const auto headerBytes = kEdfHeaderBlock * (static_cast<std::size_t>(signals) + 1);
    if (Text(head, kHeaderBytes.offset, kHeaderBytes.width) != std::to_string(headerBytes)) {
        return "header size " + Quoted(Text(head, kHeaderBytes.offset, kHeaderBytes.width)) + " is not " +
               std::to_string(headerBytes) + " for " + std::to_string(signals) + " signals";
    }
    if (fileSize < headerBytes || head.size() < headerBytes) {
        return "the header of " + std::to_string(headerBytes) + " bytes is cut short at " + std::to_string(fileSize);
    }
    const std::string date = Text(head, kStartDate.offset, kStartDate.width);
    if (date.size() != 8 || date[2] != '.' || date[5] != '.') {
        return "start date " + Quoted(date) + " is not dd.mm.yy";
    }
    double duration = 0.0;
    if (!ParseNumber(Text(head, kRecordDuration.offset, kRecordDuration.width), duration) || duration < 0.0) {
        return "data record duration " + Quoted(Text(head, kRecordDuration.offset, kRecordDuration.width)) +
               " is not a number of seconds";
    }
    std::int64_t records = 0;
    if (!ReadCount(Text(head, kRecords.offset, kRecords.width), 1, INT32_MAX, records)) {
        return "number of data records " + Quoted(Text(head, kRecords.offset, kRecords.width)) +
               " is not a positive whole number";
    }
    std::uint64_t recordBytes = 0;
    if (std::string problem = RecordBytes(head, static_cast<std::size_t>(signals), bdf ? 3 : 2, recordBytes);
        !problem.empty()) {
        return problem;
    }
    const std::uint64_t expected = headerBytes + recordBytes * static_cast<std::uint64_t>(records);
    if (fileSize != expected) {
        return std::to_string(fileSize) + " bytes where the header promises " + std::to_string(expected) + " (" +
               std::to_string(records) + " data records of " + std::to_string(recordBytes) + " bytes)";
    }
    return "not a valid EDF or BDF file (a signal's header field is malformed)";
}

}  // namespace qzkit
