// Every reference record decodes to exactly what the WFDB package printed for
// it (the folder's README says which command made which file).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "io/wfdb/SignalFormat.h"
#include "io/wfdb/WfdbRecord.h"
#include "SharedData.h"

namespace {

using qzkit::FrameSpan;
using qzkit::SignalSamples;

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

// The value of signal `k` in output row `row`: rdsamp's layout, digital or
// with eight decimals; a gap or a layout's invalid sample reads as the value
// that replaced rdsamp's -32768 in the file.
std::string Cell(const qzkit::WfdbRecord &record, std::size_t signal, const SignalSamples &samples, std::size_t index,
                 bool physical)
{
    if ((!samples.missing.empty() && samples.missing[index]) ||
        (record.Signals()[signal].format == 0 && samples.values[index] == qzkit::kLayoutInvalid)) {
        return "-128";
    }
    if (!physical) {
        return std::to_string(samples.values[index]);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.8f", qzkit::PhysicalValue(samples.values[index], record.Signals()[signal]));
    return text;
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
    std::vector<std::size_t> signals = c.signals;
    for (std::size_t s = 0; c.signals.empty() && s < record.Signals().size(); ++s) signals.push_back(s);
    std::vector<std::string> warnings;
    const FrameSpan span{c.from, c.to == 0 ? record.Frames() : c.to};
    std::vector<SignalSamples> samples = record.Read(signals, span, warnings);
    int rowsPerFrame = 1;
    for (const qzkit::WfdbSignalLine &signal : record.Signals()) {
        rowsPerFrame = std::max(rowsPerFrame, c.highResolution ? signal.samplesPerFrame : 1);
    }
    for (std::size_t k = 0; k < signals.size() && !c.highResolution; ++k) {
        samples[k] = qzkit::FrameMeans(samples[k], record.Signals()[signals[k]].samplesPerFrame);
    }
    const auto rows = ReadRows(root / "rdsamp-output" / c.output);
    ASSERT_EQ(rows.size(), (span.to - span.from) * static_cast<std::uint64_t>(rowsPerFrame));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        ASSERT_EQ(rows[row].size(), signals.size()) << "row " << row;
        for (std::size_t k = 0; k < signals.size(); ++k) {
            // Rows repeat a less oversampled signal within its frame.
            const auto perFrame = static_cast<std::size_t>(c.highResolution ? record.Signals()[signals[k]].samplesPerFrame : 1);
            const auto rowsInFrame = static_cast<std::size_t>(rowsPerFrame);
            const std::size_t index = row / rowsInFrame * perFrame + row % rowsInFrame * perFrame / rowsInFrame;
            ASSERT_EQ(Cell(record, signals[k], samples[k], index, c.physical), rows[row][k])
                << "row " << row << " signal " << signals[k];
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
