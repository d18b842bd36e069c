// SPDX-License-Identifier: Apache-2.0
#include "io/CsvTable.h"

#include <algorithm>
#include <utility>

#include "io/FileBytes.h"
#include "io/TextParsing.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr char kQuote = '"';
constexpr const char *kBlanks = " \t\r";

// "FILE:LINE", where a message points.
std::string AtLine(const std::string &source, std::size_t lineNumber)
{
    return source + ":" + std::to_string(lineNumber);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool IsSkipped(std::string_view line)
{
    const std::size_t first = line.find_first_not_of(kBlanks);
    return first == std::string_view::npos || line[first] == '#';
}

// The first of ',', ';' and tab outside quotes; ' ' (runs of blanks) when
// there is none.
char DetectDelimiter(std::string_view line)
{
    for (const char candidate : {',', ';', '\t'}) {
        bool quoted = false;
        for (const char c : line) {
            quoted = c == kQuote ? !quoted : quoted;
            if (!quoted && c == candidate) {
                return candidate;
            }
        }
    }
    return ' ';
}

// One line of a table split into fields, with the blanks around each field
// dropped. A field in double quotes may hold the delimiter, and a doubled
// quote inside it stands for one quote.
class LineFields {
public:
    LineFields(std::string_view line, char delimiter, const std::string &source, std::size_t lineNumber)
        : line_(line), delimiter_(delimiter), source_(source), lineNumber_(lineNumber)
    {
    }

    void Split(std::vector<std::string> &fields)
    {
        fields.clear();
        position_ = 0;
        const bool blankSeparated = delimiter_ == ' ';
        while (true) {
            SkipBlanks();
            if (blankSeparated && position_ == line_.size()) {
                return;
            }
            const bool quoted = Peek() == kQuote;
            fields.push_back(quoted ? QuotedField() : PlainField());
            if (quoted && position_ < line_.size() && !IsBlank(line_[position_]) && line_[position_] != delimiter_) {
                throw TextAfterQuote(fields.size());
            }
            SkipBlanks();
            if (position_ == line_.size()) {
                return;
            }
            if (!blankSeparated) {
                if (line_[position_] != delimiter_) {
                    throw TextAfterQuote(fields.size());
                }
                ++position_;
            }
        }
    }

private:
    std::string Where() const { return AtLine(source_, lineNumber_); }

    ToolkitError TextAfterQuote(std::size_t field) const
    {
        return ToolkitError(Where() + ": text after the closing quote of field " + std::to_string(field));
    }

    char Peek() const { return position_ < line_.size() ? line_[position_] : '\0'; }

    void SkipBlanks()
    {
        while (position_ < line_.size() && IsBlank(line_[position_])) {
            ++position_;
        }
    }

    std::string QuotedField()
    {
        std::string field;
        ++position_;
        while (true) {
            const std::size_t close = line_.find(kQuote, position_);
            if (close == std::string_view::npos) {
                throw ToolkitError(Where() + ": a quoted field does not end on its line");
            }
            field.append(line_.substr(position_, close - position_));
            position_ = close + 1;
            if (Peek() != kQuote) {
                return field;
            }
            field.push_back(kQuote);
            ++position_;
        }
    }

    std::string PlainField()
    {
        const std::size_t start = position_;
        while (position_ < line_.size() && line_[position_] != delimiter_ &&
               !(delimiter_ == ' ' && IsBlank(line_[position_]))) {
            ++position_;
        }
        std::string_view field = line_.substr(start, position_ - start);
        field.remove_suffix(field.size() - (field.find_last_not_of(kBlanks) + 1));
        return std::string(field);
    }

    std::string_view line_;
    char delimiter_;
    const std::string &source_;
    std::size_t lineNumber_;
    std::size_t position_ = 0;
};

// A table's text read row by row: the header (named or numbered) first, then
// each data row, checked to be as wide as the header.
class CsvRows {
public:
    CsvRows(std::string_view text, const std::string &source) : text_(text), source_(source)
    {
        if (!NextLine(pending_)) {
            return;
        }
        const bool isHeader =
            std::any_of(pending_.begin(), pending_.end(), [](const std::string &f) { return !IsNumberText(f); });
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            header_.push_back(isHeader ? pending_[i] : std::to_string(i));
        }
        hasPending_ = !isHeader;
        pendingLine_ = lineNumber_;
    }

    const std::vector<std::string> &Header() const { return header_; }

    // The next data row and its line number in the file, from 1; false after the last.
    bool Next(std::vector<std::string> &fields, std::size_t &lineNumber)
    {
        if (hasPending_) {
            hasPending_ = false;
            fields = std::move(pending_);
            lineNumber = pendingLine_;
            return true;
        }
        if (!NextLine(fields)) {
            return false;
        }
        lineNumber = lineNumber_;
        if (fields.size() != header_.size()) {
            throw ToolkitError(Where() + ": " + std::to_string(fields.size()) + " fields where the table has " +
                               std::to_string(header_.size()));
        }
        return true;
    }

    // The share of the text read so far, 0 to 1.
    double Done() const
    {
        return text_.empty() ? 1.0 : static_cast<double>(std::min(start_, text_.size())) /
                                         static_cast<double>(text_.size());
    }

private:
    std::string Where() const { return AtLine(source_, lineNumber_); }

    // The fields of the next line that is neither blank nor a comment.
    bool NextLine(std::vector<std::string> &fields)
    {
        while (start_ < text_.size()) {
            const std::size_t end = std::min(text_.find('\n', start_), text_.size());
            const std::string_view line = text_.substr(start_, end - start_);
            start_ = end + 1;
            ++lineNumber_;
            if (IsSkipped(line)) {
                continue;
            }
            if (delimiter_ == 0) {
                delimiter_ = DetectDelimiter(line);
            }
            LineFields(line, delimiter_, source_, lineNumber_).Split(fields);
            return true;
        }
        return false;
    }

    std::string_view text_;
    const std::string &source_;
    std::size_t start_ = 0;
    std::size_t lineNumber_ = 0;
    char delimiter_ = 0;
    std::vector<std::string> header_;
    std::vector<std::string> pending_;
    std::size_t pendingLine_ = 0;
    bool hasPending_ = false;
};

// The number in one cell; ToolkitError naming file, line and column otherwise.
double CellNumber(const std::string &text, const std::string &source, std::size_t lineNumber,
                  const std::string &column)
{
    double value = 0.0;
    if (!ParseNumber(text, value)) {
        throw ToolkitError(AtLine(source, lineNumber) + ": column '" + column +
                           "': not a number: " + Quoted(text));
    }
    return value;
}

// Rows read between two progress reports.
constexpr std::size_t kRowsPerProgressReport = std::size_t{1} << 16;

}  // namespace

double CsvTable::Number(std::size_t row, std::size_t column) const
{
    return CellNumber(rows.at(row).at(column), source, lineNumbers.at(row), header.at(column));
}

CsvTable ParseCsvTable(std::string_view text, const std::string &source)
{
    CsvTable table;
    table.source = source;
    CsvRows rows(text, source);
    table.header = rows.Header();
    std::vector<std::string> fields;
    std::size_t lineNumber = 0;
    while (rows.Next(fields, lineNumber)) {
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
                           const std::string &units, const ReadProgress &progress)
{
    if (!(rate > 0.0)) {
        throw ToolkitError("a text recording needs its sampling rate (--input-rate)");
    }
    const std::string source = path.string();
    const std::string text = ReadTextFile(path, kTableTextLimit);
    CsvRows rows(text, source);
    const std::vector<std::string> &header = rows.Header();
    Recording recording;
    recording.rate = rate;
    recording.units = units;
    std::vector<std::string> fields;
    std::size_t lineNumber = 0;
    std::size_t index = 0;
    while (rows.Next(fields, lineNumber)) {
        if (recording.samples.empty()) {
            index = ChooseChannel(header, column);
            recording.channelName = header[index];
            recording.samples.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
        }
        recording.samples.push_back(CellNumber(fields[index], source, lineNumber, header[index]));
        if (progress && recording.samples.size() % kRowsPerProgressReport == 0) {
            progress(rows.Done());
        }
    }
    if (recording.samples.empty()) {
        throw ToolkitError(source + ": no samples");
    }
    return recording;
}

}  // namespace qzkit
