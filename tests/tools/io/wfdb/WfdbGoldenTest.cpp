// SPDX-License-Identifier: Apache-2.0
// Every reference record exports to exactly what the WFDB package printed for
// it (the folder's README says which command made which file).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "io/wfdb/SignalFormat.h"
#include "io/wfdb/WfdbExport.h"
#include "SharedData.h"

namespace {

struct GoldenCase {
    const char *name;
    const char *record;  // under records/
    const char *output;  // under rdsamp-output/
    std::vector<std::size_t> signals;  // empty: all
    std::uint64_t from;
    std::uint64_t to;  // 0: the end
    bool highResolution;
    bool physical;
};

std::vector<std::vector<std::string>> ReadRows(const std::filesystem::path &path)
{
    std::string text;
    const std::string command = "gzip -dcf '" + path.string() + "'";
    FILE *pipe = popen(command.c_str(), "r");
    char buffer[1 << 16];
    for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        text.append(buffer, n);
    }
    if (pipe != nullptr) pclose(pipe);
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        rows.emplace_back();
        for (std::string field; fields >> field;) rows.back().push_back(field);
    }
    return rows;
}

// "s123" (appended piece by piece: GCC 12 at -O3 warns falsely about the sum).
std::string FrameNumber(std::uint64_t frame)
{
    std::string text = "s";
    text += std::to_string(frame);
    return text;
}

// The value cells of the exporter's CSV rows (the header and the time column left out).
std::vector<std::vector<std::string>> ExportedRows(const qzkit::WfdbRecord &record, const qzkit::ExportOptions &options)
{
    std::ostringstream out;
    std::vector<std::string> warnings;
    qzkit::ExportCsv(record, options, out, warnings);
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out.str());
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string field;
        std::getline(fields, field, ',');
        rows.emplace_back();
        while (std::getline(fields, field, ',')) rows.back().push_back(field);
        if (line.back() == ',') rows.back().emplace_back();
    }
    return rows;
}

// An exported cell against rdsamp's: digital values alike, physical ones to
// rdsamp's eight decimals; a gap (an empty cell, or the layout's invalid
// value) reads as the value that replaced rdsamp's -32768 in the file.
bool SameValue(const std::string &exported, const std::string &printed, bool physical)
{
    if (exported.empty() || exported == std::to_string(qzkit::kLayoutInvalid)) {
        return printed == "-128";
    }
    return physical ? std::abs(std::stod(exported) - std::stod(printed)) <= 0.5e-8 : exported == printed;
}

class WfdbGolden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(WfdbGolden, DecodesToTheWfdbPackagesValues)
{
    const std::filesystem::path root = qztest::SharedDataDir() / "wfdb-samples";
    if (!std::filesystem::exists(root)) {
        GTEST_SKIP() << "no reference records at " << root << " (set QZ_SHARED_DIR)";
    }
    const GoldenCase c = GetParam();
    const qzkit::WfdbRecord record(root / "records" / c.record);
    qzkit::ExportOptions options;
    for (const std::size_t signal : c.signals) options.channels.push_back(std::to_string(signal));
    options.from = FrameNumber(c.from);
    options.to = c.to == 0 ? "" : FrameNumber(c.to);
    options.digital = !c.physical;
    options.highResolution = c.highResolution;
    const auto exported = ExportedRows(record, options);
    const auto printed = ReadRows(root / "rdsamp-output" / c.output);
    ASSERT_EQ(exported.size(), printed.size());
    for (std::size_t row = 0; row < printed.size(); ++row) {
        ASSERT_EQ(exported[row].size(), printed[row].size()) << "row " << row;
        for (std::size_t k = 0; k < printed[row].size(); ++k) {
            ASSERT_TRUE(SameValue(exported[row][k], printed[row][k], c.physical))
                << "row " << row << " column " << k << ": " << exported[row][k] << " for " << printed[row][k];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, WfdbGolden,
    ::testing::Values(GoldenCase{"format16", "test01_00s", "record-1a", {}, 0, 0, false, false},
                      GoldenCase{"format80_physical", "3000003_0003", "record-1d", {1}, 125, 1000, false, true},
                      GoldenCase{"every_fixed_format", "binformats", "record-1f.gz", {}, 0, 0, false, false},
                      GoldenCase{"flac", "flacformats", "record-flac.gz", {}, 0, 0, false, false},
                      GoldenCase{"format310", "310derive", "record-2d", {}, 2, 0, false, false},
                      GoldenCase{"format311_physical", "311derive", "record-2e", {0}, 1, 978, false, true},
                      GoldenCase{"skew_frame_means", "test01_00s_skewframe", "record-4a", {}, 0, 0, false, false},
                      GoldenCase{"skew_high_resolution", "test01_00s_skewframe", "record-4d", {}, 0, 0, true, true},
                      GoldenCase{"multi_segment_fixed", "multi-segment/041s/041s", "record-multi-fixed-d.gz",
                                 {3, 2, 1}, 0, 0, true, false},
                      GoldenCase{"multi_segment_variable", "multi-segment/p000878/p000878-2137-10-26-16-57",
                                 "record-multi-variable-d", {0, 1}, 3550, 7500, false, false}),
    [](const ::testing::TestParamInfo<GoldenCase> &param) { return param.param.name; });

}  // namespace
