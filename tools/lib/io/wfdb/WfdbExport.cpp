// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/WfdbExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "io/Recording.h"
#include "io/ShortestDecimal.h"
#include "io/TextFormat.h"
#include "io/TextParsing.h"
#include "io/wfdb/SignalFormat.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr std::uint64_t kValuesPerChunk = std::uint64_t{1} << 22;

// Frames read at once: a chunk holds at most kValuesPerChunk values of the
// record's signal files (all of a file's signals are read together).
std::uint64_t FramesPerChunk(const WfdbRecord &record)
{
    std::uint64_t valuesPerFrame = 0;
    for (const WfdbSignalLine &entry : record.Signals()) {
        valuesPerFrame += static_cast<std::uint64_t>(entry.samplesPerFrame);
    }
    return std::max<std::uint64_t>(1, kValuesPerChunk / std::max<std::uint64_t>(1, valuesPerFrame));
}

void RefuseTooManyRows(const WfdbRecord &record, std::uint64_t from, std::uint64_t to, std::size_t rowsPerFrame,
                       std::uint64_t maxRows)
{
    std::uint64_t rows = 0;
    const bool overflow = __builtin_mul_overflow(to - from, std::uint64_t{rowsPerFrame}, &rows);
    if (maxRows > 0 && (overflow || rows > maxRows)) {
        throw ToolkitError(record.HeaderPath().string() + ": frames " + std::to_string(from) + " to " +
                           std::to_string(to) + " make " + (overflow ? "too many" : std::to_string(rows)) +
                           " rows, more than the " + std::to_string(maxRows) +
                           " written unless --max-rows allows more; nothing written (shorten it with --from/--to)");
    }
}

void AppendInteger(std::string &text, std::int32_t value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
}

struct Column {
    const WfdbSignalLine *entry;
    std::optional<std::int32_t> invalid;
    std::size_t perRow;  // samples per frame in this export: 1, or the signal's own
};

void AppendCell(std::string &text, const Column &column, const SignalSamples &samples, std::size_t index, bool digital)
{
    text += ',';
    if (!samples.missing.empty() && samples.missing[index]) {
        return;
    }
    const std::int32_t value = samples.values[index];
    if (digital) {
        AppendInteger(text, value);
    } else if (value != column.invalid) {
        text += ShortestDecimal(PhysicalValue(value, *column.entry));
    }
}

// Writes and empties `text`; a stream that failed (a full disk, a closed
// pipe) ends the export at once.
void WriteText(std::ostream &out, std::string &text)
{
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    text.clear();
    if (!out) {
        throw ToolkitError("cannot write the table: the output failed");
    }
}

}  // namespace

std::uint64_t ParseRecordTime(const std::string &text, double frameRate, const char *option)
{
    std::int64_t frame = 0;
    double seconds = 0.0;
    if (!text.empty() && text[0] == 's' && ParseInteger(text.substr(1), frame) && frame >= 0) {
        return static_cast<std::uint64_t>(frame);
    }
    const bool decimal = text.find_first_not_of("0123456789.eE+-") == std::string::npos;  // not 0x10, not inf
    if (decimal && ParseNumber(text, seconds) && seconds >= 0.0 && seconds * frameRate < 9e18) {
        return static_cast<std::uint64_t>(std::floor(seconds * frameRate + 0.5));
    }
    throw ToolkitError(std::string(option) + " '" + text + "' is neither seconds nor a sample number like s123");
}

void ExportCsv(const WfdbRecord &record, const ExportOptions &options, std::ostream &out,
               std::vector<std::string> &warnings)
{
    const std::vector<std::string> names = SignalNames(record);
    std::vector<std::size_t> signals;
    for (const std::string &channel : options.channels) {
        signals.push_back(ChooseChannel(names, channel));
    }
    for (std::size_t s = 0; options.channels.empty() && s < names.size(); ++s) {
        signals.push_back(s);
    }
    const std::uint64_t from = options.from.empty() ? 0 : ParseRecordTime(options.from, record.FrameRate(), "--from");
    const std::uint64_t to = std::min(
        record.Frames(), options.to.empty() ? UINT64_MAX : ParseRecordTime(options.to, record.FrameRate(), "--to"));
    if (from >= to) {
        throw ToolkitError(record.HeaderPath().string() + ": nothing to export from frame " + std::to_string(from) +
                           " to " + std::to_string(to) + " (the record has " + std::to_string(record.Frames()) + ")");
    }
    // As in the WFDB package, every signal of the record sets the row rate.
    std::size_t rowsPerFrame = 1;
    for (const WfdbSignalLine &entry : record.Signals()) {
        const auto perFrame = static_cast<std::size_t>(entry.samplesPerFrame);
        rowsPerFrame = std::max(rowsPerFrame, options.highResolution ? perFrame : 1);
    }
    std::vector<Column> columns;
    std::string text = "time_s";
    for (const std::size_t signal : signals) {
        const WfdbSignalLine &entry = record.Signals()[signal];
        const auto perFrame = static_cast<std::size_t>(entry.samplesPerFrame);
        columns.push_back({&entry, InvalidValue(entry.format), options.highResolution ? perFrame : 1});
        text += ',' + CsvField(entry.description);
    }
    text += '\n';
    RefuseTooManyRows(record, from, to, rowsPerFrame, options.maxRows);
    const double rowRate = record.FrameRate() * static_cast<double>(rowsPerFrame);
    const std::uint64_t framesPerChunk = FramesPerChunk(record);
    for (std::uint64_t first = from; first < to; first += framesPerChunk) {
        const std::uint64_t last = std::min(to, first + framesPerChunk);
        std::vector<SignalSamples> samples = record.Read(signals, {first, last}, warnings);
        for (std::size_t k = 0; k < columns.size() && !options.highResolution; ++k) {
            samples[k] = FrameMeans(samples[k], columns[k].entry->samplesPerFrame);
        }
        for (std::uint64_t frame = 0; frame < last - first; ++frame) {
            for (std::size_t row = 0; row < rowsPerFrame; ++row) {
                text += ShortestDecimal(static_cast<double>((first + frame) * rowsPerFrame + row) / rowRate);
                for (std::size_t k = 0; k < columns.size(); ++k) {
                    const std::size_t perRow = columns[k].perRow;
                    AppendCell(text, columns[k], samples[k], frame * perRow + row * perRow / rowsPerFrame,
                               options.digital);
                }
                text += '\n';
            }
            if (text.size() > (std::size_t{1} << 20)) {
                WriteText(out, text);
            }
        }
    }
    WriteText(out, text);
}

}  // namespace qzkit
