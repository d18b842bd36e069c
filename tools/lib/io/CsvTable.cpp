// SPDX-License-Identifier: Apache-2.0
#include "io/CsvTable.h"

#include <algorithm>

#include "io/FileBytes.h"
#include "io/TextParsing.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

std::string Trim(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\"");
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t\r\"");
    return text.substr(first, last - first + 1);
}

char DetectDelimiter(const std::string &line)
{
    for (const char candidate : {',', ';', '\t'}) {
        if (line.find(candidate) != std::string::npos) {
            return candidate;
        }
    }
    return ' ';
}

std::vector<std::string> SplitFields(const std::string &line, char delimiter)
{
    std::vector<std::string> fields;
    if (delimiter == ' ') {
        std::size_t position = 0;
        while ((position = line.find_first_not_of(" \t\r", position)) != std::string::npos) {
            const std::size_t end = std::min(line.find_first_of(" \t\r", position), line.size());
            fields.push_back(line.substr(position, end - position));
            position = end;
        }
        return fields;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = line.find(delimiter, start);
        fields.push_back(Trim(line.substr(start, end == std::string::npos ? std::string::npos : end - start)));
        if (end == std::string::npos) {
            return fields;
        }
        start = end + 1;
    }
}

bool IsSkipped(const std::string &line)
{
    const std::size_t first = line.find_first_not_of(" \t\r");
    return first == std::string::npos || line[first] == '#';
}

}  // namespace

double CsvTable::Number(std::size_t row, std::size_t column) const
{
    double value = 0.0;
    const std::string &text = rows.at(row).at(column);
    if (!ParseNumber(text, value)) {
        throw ToolkitError(source + ":" + std::to_string(lineNumbers.at(row)) + ": column '" + header.at(column) +
                           "': not a number: " + Quoted(text));
    }
    return value;
}

CsvTable ParseCsvTable(std::string_view text, const std::string &source)
{
    CsvTable table;
    table.source = source;
    char delimiter = 0;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (IsSkipped(line)) {
            continue;
        }
        if (delimiter == 0) {
            delimiter = DetectDelimiter(line);
        }
        std::vector<std::string> fields = SplitFields(line, delimiter);
        if (table.header.empty()) {
            const bool isHeader =
                std::any_of(fields.begin(), fields.end(), [](const std::string &f) { return !IsNumberText(f); });
            for (std::size_t i = 0; i < fields.size(); ++i) {
                table.header.push_back(isHeader ? fields[i] : std::to_string(i));
            }
            if (isHeader) {
                continue;
            }
        }
        if (fields.size() != table.header.size()) {
            throw ToolkitError(table.source + ":" + std::to_string(lineNumber) + ": " + std::to_string(fields.size()) +
                               " fields where the table has " + std::to_string(table.header.size()));
        }
        table.rows.push_back(std::move(fields));
        table.lineNumbers.push_back(lineNumber);
    }
    return table;
}

CsvTable ReadCsvTable(const std::filesystem::path &path)
{
    return ParseCsvTable(ReadTextFile(path, kTableTextLimit), path.string());
}

Recording ReadCsvRecording(const std::filesystem::path &path, const std::string &column, double rate,
                           const std::string &units)
{
    if (!(rate > 0.0)) {
        throw ToolkitError("a text recording needs its sampling rate (--input-rate)");
    }
    const CsvTable table = ReadCsvTable(path);
    if (table.rows.empty()) {
        throw ToolkitError(path.string() + ": no samples");
    }
    const std::size_t index = table.Column(column);
    Recording recording;
    recording.rate = rate;
    recording.units = units;
    recording.channelName = table.header[index];
    recording.samples.reserve(table.rows.size());
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        recording.samples.push_back(table.Number(row, index));
    }
    return recording;
}

}  // namespace qzkit
