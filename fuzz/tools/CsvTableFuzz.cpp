// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: the delimited-text table reader and its cells as numbers.
// A bad table or cell must be a ToolkitError; anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "io/CsvTable.h"
#include "ToolkitError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        const qzkit::CsvTable table =
            qzkit::ParseCsvTable(std::string_view(reinterpret_cast<const char *>(data), size), "fuzz.csv");
        for (std::size_t column = 0; column < table.header.size(); ++column) {
            (void)table.Column(table.header[column]);
            for (std::size_t row = 0; row < table.rows.size(); ++row) {
                try {
                    (void)table.Number(row, column);
                } catch (const qzkit::ToolkitError &) {
                }
            }
        }
    } catch (const qzkit::ToolkitError &) {
    }
    return 0;
}
