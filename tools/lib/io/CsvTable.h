// SPDX-License-Identifier: Apache-2.0
// Delimited text tables (comma, semicolon, tab or white space), with an
// optional header row, and the signal columns read from them.
#ifndef QZKIT_CSV_TABLE_H
#define QZKIT_CSV_TABLE_H

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "io/Recording.h"

namespace qzkit {

struct CsvTable {
    std::vector<std::string> header;             // column names; "0", "1", ... when the file has no header row
    std::vector<std::vector<std::string>> rows;  // data rows, each as wide as the header
    std::vector<std::size_t> lineNumbers;        // line of each row in the file, from 1
    std::string source;

    // Column by name or index (ChooseChannel rules).
    std::size_t Column(const std::string &choice) const { return ChooseChannel(header, choice); }

    // The value of one cell as a number; ToolkitError naming file, line and column otherwise.
    double Number(std::size_t row, std::size_t column) const;
};

// Lines that are blank or start with '#' are skipped. The first remaining
// line is a header when any of its fields is not a number. A field in double
// quotes may hold the delimiter, and "" inside it stands for one quote; a
// quoted field ends on its line. Throws ToolkitError, naming `source` and the
// line, when rows differ in width or a quoted field is malformed.
CsvTable ParseCsvTable(std::string_view text, const std::string &source);

// ParseCsvTable of a text file of at most kTableTextLimit bytes.
CsvTable ReadCsvTable(const std::filesystem::path &path);

// One column as a recording at `rate` samples per second in `units`, read
// row by row (only that column is kept); `progress`, when set, is told the
// share of the file read now and then.
Recording ReadCsvRecording(const std::filesystem::path &path, const std::string &column, double rate,
                           const std::string &units, const ReadProgress &progress = {});

}  // namespace qzkit

#endif
