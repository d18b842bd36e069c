// Records built byte by byte: the value layout of each format, samples per
// frame with skew, multi-segment gaps, checksums, and the input refused.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "io/wfdb/WfdbRecord.h"
#include "ToolkitError.h"
#include "ToolRunner.h"

namespace {

using qzkit::WfdbRecord;

struct RecordFiles {
    std::vector<std::pair<std::string, std::string>> texts;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> data;
};

void Write(const qztest::TempDir &dir, const RecordFiles &files)
{
    for (const auto &[name, text] : files.texts) std::ofstream(dir / name) << text;
    for (const auto &[name, bytes] : files.data) qztest::WriteBytes(dir / name, bytes);
}

std::vector<qzkit::SignalSamples> ReadAll(const WfdbRecord &record, std::vector<std::string> &warnings)
{
    std::vector<std::size_t> signals(record.Signals().size());
    for (std::size_t s = 0; s < signals.size(); ++s) signals[s] = s;
    return record.Read(signals, {0, record.Frames()}, warnings);
}

struct FormatCase {
    const char *name;
    int format;
    std::vector<std::uint8_t> bytes;
    std::vector<std::int32_t> values;
};

class WfdbFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(WfdbFormats, DecodeTheirByteLayout)
{
    const FormatCase c = GetParam();
    qztest::TempDir dir;
    // Initial value 10 (the start of format 8's differences); the length comes from the file.
    Write(dir, {{{"r.hea", "r 1 250\nr.dat " + std::to_string(c.format) + " 200 0 0 10\n"}}, {{"r.dat", c.bytes}}});
    std::vector<std::string> warnings;
    EXPECT_EQ(ReadAll(WfdbRecord(dir / "r"), warnings).at(0).values, c.values);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WfdbFormats,
    ::testing::Values(FormatCase{"f8_differences", 8, {0x01, 0xFF, 0x05}, {11, 10, 15}},
                      FormatCase{"f16", 16, {0x01, 0x00, 0x00, 0x80}, {1, -32768}},
                      FormatCase{"f61_big_endian", 61, {0x00, 0x01, 0x80, 0x00}, {1, -32768}},
                      FormatCase{"f80_offset", 80, {0x80, 0x00, 0xFF}, {0, -128, 127}},
                      FormatCase{"f160_offset", 160, {0x00, 0x80, 0x00, 0x00}, {0, -32768}},
                      FormatCase{"f24", 24, {0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF}, {1, -1}},
                      FormatCase{"f32", 32, {0x00, 0x00, 0x00, 0x80, 0x02, 0x00, 0x00, 0x00}, {INT32_MIN, 2}},
                      FormatCase{"f310_partial", 310, {0x02, 0x00, 0xFE, 0x87, 0x04, 0x00}, {1, -1, -512, 2}},
                      FormatCase{"f311_partial", 311, {0x01, 0xFC, 0x5F, 0x00, 0xFF, 0x07}, {1, -1, 5, -1}}),
    [](const ::testing::TestParamInfo<FormatCase> &param) { return param.param.name; });

TEST(WfdbRecord, SamplesPerFrameSkewAndChecksums)
{
    qztest::TempDir dir;
    // Frames of [a a b] in format 16; a has two samples per frame and lags one frame.
    std::vector<std::uint8_t> bytes;
    for (const int v : {9, 9, 1, 3, -4, 2, -3, -4, 3, 7, 8, 4}) {
        bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    Write(dir, {{{"r.hea", "r 2 250 3\nr.dat 16x2:1 200 16 0 0 7 0 a\nr.dat 16 200 16 0 0 6 0 b\n"},
                 {"c.hea", "c 2 250 4\nc.dat 16x2 200 16 0 0 25 0 a\nc.dat 16 200 16 0 0 9 0 b\n"}},
                {{"r.dat", bytes}, {"c.dat", bytes}}});
    std::vector<std::string> warnings;
    const WfdbRecord skewed(dir / "r.hea");
    ASSERT_EQ(skewed.Frames(), 3u) << "the header's length";
    const auto samples = ReadAll(skewed, warnings);
    EXPECT_EQ(samples[0].values, (std::vector<std::int32_t>{3, -4, -3, -4, 7, 8}));
    EXPECT_EQ(samples[1].values, (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(qzkit::FrameMeans(samples[0], 2).values, (std::vector<std::int32_t>{0, -3, 7})) << "truncated means";
    EXPECT_TRUE(warnings.empty()) << "checksums 7 and 6 match";

    ReadAll(WfdbRecord(dir / "c.hea"), warnings);
    ASSERT_EQ(warnings.size(), 1u) << "b's sum is 10, not 9";
    EXPECT_NE(warnings[0].find("checksum of signal 1 is 10, the header says 9"), std::string::npos) << warnings[0];
}

TEST(WfdbRecord, VariableLayoutGapsAreMissingNeverFilled)
{
    qztest::TempDir dir;
    Write(dir, {{{"m.hea", "m/3 2 250 5\nlay 0\n~ 2\ns1 3\n"},
                 {"lay.hea", "lay 2 250 0\n~ 0 200 12 0 0 0 0 A\n~ 0 100(5)/uV 12 0 0 0 0 B\n"},
                 {"s1.hea", "s1 1 250 3\ns1.dat 80 200(0)/uV 8 0 0 0 0 B\n"}},
                {{"s1.dat", {0x80 + 4, 0x80 + 2, 0x00}}}});
    const WfdbRecord record(dir / "m");
    EXPECT_EQ(record.Frames(), 5u);
    EXPECT_EQ(record.SegmentCount(), 3u);
    const auto gaps = record.Gaps();
    ASSERT_EQ(gaps.size(), 2u);
    EXPECT_EQ(gaps[0].reason, "null segment");
    EXPECT_EQ(gaps[0].signals, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(gaps[1].reason, "not in segment s1");
    EXPECT_EQ(gaps[1].signals, (std::vector<std::size_t>{0}));
    EXPECT_EQ(gaps[1].frames.from, 2u);
    std::vector<std::string> warnings;
    const auto samples = ReadAll(record, warnings);
    EXPECT_EQ(samples[0].missing, std::vector<bool>(5, true));
    EXPECT_EQ(samples[1].missing, (std::vector<bool>{true, true, false, false, false}));
    // On the layout's scale (gain 100, baseline 5); an invalid sample becomes the layout's invalid value.
    EXPECT_EQ(std::vector<std::int32_t>(samples[1].values.begin() + 2, samples[1].values.end()),
              (std::vector<std::int32_t>{7, 6, -32768}));
    EXPECT_EQ(record.Read({1}, {3, 4}, warnings)[0].values, (std::vector<std::int32_t>{6}));
}

struct BadCase {
    const char *name;
    RecordFiles files;
    const char *message;
};

class WfdbRefuses : public ::testing::TestWithParam<BadCase> {};

TEST_P(WfdbRefuses, WithAOneLineMessage)
{
    const BadCase c = GetParam();
    qztest::TempDir dir;
    Write(dir, c.files);
    if (std::string(c.name) == "fifo") {
        ASSERT_EQ(mkfifo((dir / "r.dat").c_str(), 0600), 0);
    }
    try {
        std::vector<std::string> warnings;
        ReadAll(WfdbRecord(dir / "r.hea"), warnings);
        FAIL() << "accepted";
    } catch (const qzkit::ToolkitError &error) {
        EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
}

std::string SixteenSignalsOfHugeLength()
{
    std::string text = "r 16 360 1152921504606846976\n";
    for (int i = 0; i < 16; ++i) text += "r.dat 16\n";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Input, WfdbRefuses,
    ::testing::Values(
        BadCase{"unknown_format", {{{"r.hea", "r 1 250\nr.dat 81\n"}}, {}}, "signal format 81 is not supported"},
        BadCase{"short_file", {{{"r.hea", "r 1 250 10\nr.dat 16\n"}}, {{"r.dat", {1, 2, 3}}}}, "signal file too short"},
        BadCase{"size_overflow", {{{"r.hea", SixteenSignalsOfHugeLength()}}, {{"r.dat", {1, 2}}}}, "signal file too short"},
        BadCase{"fifo", {{{"r.hea", "r 1 250 10\nr.dat 16\n"}}, {}}, "not a regular file"},
        BadCase{"bad_flac", {{{"r.hea", "r 1 250 10\nr.dat 516\n"}}, {{"r.dat", {'f', 'L', 'a', 'C', 9, 9}}}}, "FLAC"},
        BadCase{"missing_segment", {{{"r.hea", "r/2 1 250\n~ 2\ngone 2\n"}}, {}},
                "no segment that is here describes the signals"},
        BadCase{"segment_lengths_overflow",
                {{{"r.hea", "r/3 1 250\ns 9223372036854775807\ns 9223372036854775807\ns 9223372036854775807\n"}}, {}},
                "segment lengths overflow"},
        BadCase{"layout_disagrees",
                {{{"r.hea", "r/2 1 250 4\ns1 2\ns2 2\n"}, {"s1.hea", "s1 1 250 2\ns.dat 16\n"},
                  {"s2.hea", "s2 2 250 2\ns.dat 16\ns.dat 16\n"}},
                 {{"s.dat", std::vector<std::uint8_t>(8)}}},
                "s2.hea: has 2 signals, the record's fixed layout 1"}),
    [](const ::testing::TestParamInfo<BadCase> &param) { return param.param.name; });

}  // namespace
