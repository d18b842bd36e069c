// SPDX-License-Identifier: Apache-2.0
// The delimited-text reader: quoted fields (a delimiter or a doubled quote
// inside), the delimiter found outside quotes, malformed quoting refused with
// its line, what the field writer writes read back; and a recording read as
// one column.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "io/CsvTable.h"
#include "io/TextFormat.h"
#include "ToolkitError.h"
#include "ToolRunner.h"

namespace {

using Fields = std::vector<std::string>;

TEST(CsvTable, QuotedFieldsKeepDelimitersAndDoubledQuotes)
{
    const struct {
        const char *text;
        Fields header;
        Fields firstRow;
    } cases[] = {
        {"\"we\"\"ird\",b\n1,2\n", {"we\"ird", "b"}, {"1", "2"}},
        {"\"x, y\" , z\n1,2\n", {"x, y", "z"}, {"1", "2"}},
        {"\"a,b\";c\n1;2\n", {"a,b", "c"}, {"1", "2"}},       // the comma is quoted: ';' delimits
        {"\"a b\"  c\n1 2\n", {"a b", "c"}, {"1", "2"}},       // blank-separated
        {"\"1.5\",\"2\"\n3,4\n", {"0", "1"}, {"1.5", "2"}},     // quoted numbers are data
        {"\"\",t\n1,2\n", {"", "t"}, {"1", "2"}},
    };
    for (const auto &c : cases) {
        const qzkit::CsvTable table = qzkit::ParseCsvTable(c.text, "t.csv");
        EXPECT_EQ(table.header, c.header) << c.text;
        ASSERT_FALSE(table.rows.empty()) << c.text;
        EXPECT_EQ(table.rows.front(), c.firstRow) << c.text;
    }
}

TEST(CsvTable, MalformedQuotingIsRefusedWithItsLine)
{
    const struct {
        const char *text;
        const char *message;
    } cases[] = {
        {"a,b\n\"1,2\n", "t.csv:2: a quoted field does not end on its line"},
        {"a,b\n\"1\"x,2\n", "t.csv:2: text after the closing quote of field 1"},
        {"a b\n\"1\"x 2\n", "t.csv:2: text after the closing quote of field 1"},
        {"a,b\n# note\n1\n", "t.csv:3: 1 fields where the table has 2"},
    };
    for (const auto &c : cases) {
        try {
            qzkit::ParseCsvTable(c.text, "t.csv");
            ADD_FAILURE() << c.text << " was read";
        } catch (const qzkit::ToolkitError &error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

TEST(CsvTable, WhatTheFieldWriterWritesReadsBack)
{
    const Fields names{"we\"ird", "a, b", "plain", "\"", ""};
    std::string line;
    for (const std::string &name : names) {
        if (!line.empty()) {
            line += ',';
        }
        line += qzkit::CsvField(name);
    }
    EXPECT_EQ(qzkit::ParseCsvTable(line + "\n1,2,3,4,5\n", "t.csv").header, names);
}

TEST(CsvRecording, OneColumnReadRowByRow)
{
    qztest::TempDir dir;
    std::ofstream(dir.path() / "r.csv")
        << "# made by hand\ntime_s,\"lead \"\"II\"\"\"\n0,1.5\n0.004,-2\n\n0.008,3e-1\n";
    const qzkit::Recording recording = qzkit::ReadCsvRecording(dir.path() / "r.csv", "lead \"II\"", 250.0, "mV");
    EXPECT_EQ(recording.channelName, "lead \"II\"");
    EXPECT_EQ(recording.samples, (std::vector<double>{1.5, -2.0, 0.3}));
}

TEST(CsvRecording, ProgressRisesWhileALongFileIsRead)
{
    qztest::TempDir dir;
    std::ofstream table(dir.path() / "long.csv");
    for (int row = 0; row < 200000; ++row) {
        table << row % 7 << '\n';
    }
    table.close();
    std::vector<double> shares;
    const qzkit::Recording recording = qzkit::ReadCsvRecording(dir.path() / "long.csv", "", 250.0, "mV",
                                                               [&shares](double share) { shares.push_back(share); });
    EXPECT_EQ(recording.samples.size(), 200000u);
    ASSERT_EQ(shares.size(), 3u);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_GT(shares.front(), 0.0);
    EXPECT_LT(shares.back(), 1.0);
}

}  // namespace
