// SPDX-License-Identifier: Apache-2.0
// Records built byte by byte: the header's fields, the value layout of each
// format, interleaved signals, samples per frame with skew, multi-segment
// gaps, checksums, channels, and the input refused.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "io/wfdb/WfdbHeader.h"
#include "io/wfdb/WfdbRecord.h"
#include "io/wfdb/WfdbRecording.h"
#include "io/wfdb/WfdbWriter.h"
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

// Interleaved values in format 212: pairs of 12-bit values in three bytes; an
// odd last value takes two bytes.
std::vector<std::uint8_t> Encode212(const std::vector<int> &values)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < values.size(); i += 2) {
        const auto first = static_cast<unsigned>(values[i]) & 0xFFFu;
        const unsigned second = i + 1 < values.size() ? static_cast<unsigned>(values[i + 1]) & 0xFFFu : 0u;
        bytes.push_back(static_cast<std::uint8_t>(first & 0xFFu));
        bytes.push_back(static_cast<std::uint8_t>((first >> 8) | ((second >> 8) << 4)));
        if (i + 1 < values.size()) {
            bytes.push_back(static_cast<std::uint8_t>(second & 0xFFu));
        }
    }
    return bytes;
}

std::vector<std::uint8_t> Encode16(const std::vector<int> &values)
{
    std::vector<std::uint8_t> bytes;
    for (const int value : values) {
        const auto word = static_cast<unsigned>(value) & 0xFFFFu;
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFFu));
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return bytes;
}

qzkit::WfdbHeader Parse(const std::string &text)
{
    std::istringstream stream(text);
    return qzkit::ParseWfdbHeader(stream, "test.hea");
}

TEST(WfdbHeader, ReadsFieldsSkippingCommentsAndBlankLinesWithDefaults)
{
    const auto header = Parse("# a comment first\n"
                              "rec 3 360/2(0) 650000\n"
                              "rec.dat 212 200(1024)/uV 11 1024 995 -22131 0 lead MLII\n"
                              "\n"
                              "rec.dat 212 0 11 1000\n"
                              "other.dat 16+24\n");
    EXPECT_EQ(header.recordName, "rec");
    EXPECT_DOUBLE_EQ(header.frequency, 360.0);
    EXPECT_EQ(header.sampleCount, 650000);
    ASSERT_EQ(header.signals.size(), 3u);
    EXPECT_EQ(header.signals[0].format, 212);
    EXPECT_DOUBLE_EQ(header.signals[0].gain, 200.0);
    EXPECT_DOUBLE_EQ(header.signals[0].baseline, 1024.0);
    EXPECT_EQ(header.signals[0].units, "uV");
    EXPECT_EQ(header.signals[0].description, "lead MLII");
    EXPECT_DOUBLE_EQ(header.signals[1].gain, 200.0) << "gain 0 means 200";
    EXPECT_DOUBLE_EQ(header.signals[1].baseline, 1000.0) << "baseline defaults to the ADC zero";
    EXPECT_EQ(header.signals[1].units, "mV");
    EXPECT_EQ(header.signals[2].format, 16);
    EXPECT_EQ(header.signals[2].byteOffset, 24);

    const auto minimal = Parse("rec 1\nrec.dat 16\n");
    EXPECT_DOUBLE_EQ(minimal.frequency, 250.0);
    EXPECT_EQ(minimal.sampleCount, 0);
}

TEST(WfdbHeader, RefusesWhatItCannotRead)
{
    for (const char *text : {"", "# only a comment\n", "rec/2 1 250\nrec.dat 16\n", "rec 2 250\nrec.dat 16\n",
                             "rec 1 250\nrec.dat 16x0\n", "rec 1 250\nrec.dat 16:-3\n",
                             "rec 1 abc\nrec.dat 16\n", "rec 1 250\nrec.dat 16 2x0\n", "rec 1 -5\nrec.dat 16\n"}) {
        EXPECT_THROW(Parse(text), qzkit::ToolkitError) << text;
    }
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
                      // 1 and -1: 01 F0 FF; -2048 and 2047: 00 78 FF.
                      FormatCase{"f212_pairs", 212, {0x01, 0xF0, 0xFF, 0x00, 0x78, 0xFF}, {1, -1, -2048, 2047}},
                      FormatCase{"f61_big_endian", 61, {0x00, 0x01, 0x80, 0x00}, {1, -32768}},
                      FormatCase{"f80_offset", 80, {0x80, 0x00, 0xFF}, {0, -128, 127}},
                      FormatCase{"f160_offset", 160, {0x00, 0x80, 0x00, 0x00}, {0, -32768}},
                      FormatCase{"f24", 24, {0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF}, {1, -1}},
                      FormatCase{"f32", 32, {0x00, 0x00, 0x00, 0x80, 0x02, 0x00, 0x00, 0x00}, {INT32_MIN, 2}},
                      FormatCase{"f310_partial", 310, {0x02, 0x00, 0xFE, 0x87, 0x04, 0x00}, {1, -1, -512, 2}},
                      FormatCase{"f311_partial", 311, {0x01, 0xFC, 0x5F, 0x00, 0xFF, 0x07}, {1, -1, 5, -1}}),
    [](const ::testing::TestParamInfo<FormatCase> &param) { return param.param.name; });

struct SignalCase {
    const char *name;
    int format;
    std::size_t signals;
    std::vector<int> interleaved;
};

class WfdbInterleaved : public ::testing::TestWithParam<SignalCase> {};

TEST_P(WfdbInterleaved, DecodesEverySignalOfAnInterleavedFile)
{
    const SignalCase c = GetParam();
    qztest::TempDir dir;
    const std::size_t frames = c.interleaved.size() / c.signals;
    std::string header = "rec " + std::to_string(c.signals) + " 360 " + std::to_string(frames) + "\n";
    for (std::size_t s = 0; s < c.signals; ++s) {
        header += "rec.dat " + std::to_string(c.format) + " 100(10)/mV 12 0 0 0 0 lead" + std::to_string(s) + "\n";
    }
    Write(dir, {{{"rec.hea", header}}, {{"rec.dat", c.format == 212 ? Encode212(c.interleaved) : Encode16(c.interleaved)}}});

    std::vector<std::string> warnings;
    const auto raw = ReadAll(WfdbRecord(dir / "rec.hea"), warnings);
    ASSERT_EQ(raw.size(), c.signals);
    for (std::size_t s = 0; s < c.signals; ++s) {
        ASSERT_EQ(raw[s].values.size(), frames);
        for (std::size_t f = 0; f < frames; ++f) {
            EXPECT_EQ(raw[s].values[f], c.interleaved[f * c.signals + s]) << "signal " << s << " frame " << f;
        }
    }
    const auto last = qzkit::ReadWfdbRecording(dir / "rec.hea", "lead" + std::to_string(c.signals - 1));
    EXPECT_DOUBLE_EQ(last.samples.back(), (c.interleaved.back() - 10) / 100.0);
    EXPECT_EQ(last.units, "mV");
    EXPECT_DOUBLE_EQ(last.rate, 360.0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WfdbInterleaved,
    ::testing::Values(SignalCase{"f212_two_leads", 212, 2, {1, -1, 2047, -2047, 0, 1000, -5, 17}},
                      SignalCase{"f212_odd_count", 212, 1, {-3, 5, -2047, 2047, 300}},
                      SignalCase{"f212_three_leads_odd", 212, 3, {10, -20, 30, -40, 50, -60, 70, -80, 90}},
                      SignalCase{"f16_two_leads", 16, 2, {-32767, 32767, 0, -1, 12345, -12345}}),
    [](const ::testing::TestParamInfo<SignalCase> &param) { return param.param.name; });

TEST(WfdbRecord, LengthFromTheFileOffsetsAndInvalidSamples)
{
    qztest::TempDir dir;
    // No sample count: the file's size decides. 24 header bytes are skipped.
    std::vector<std::uint8_t> bytes{0xAA, 0xBB, 0xCC, 0xDD};
    for (const auto b : Encode16({4, -32768, 8, -32768})) bytes.push_back(b);
    Write(dir, {{{"r.hea", "r 1 250\nr.dat 16+4 2/mV 16 0 0 0 0 ECG\n"}}, {{"r.dat", bytes}}});
    const auto recording = qzkit::ReadWfdbRecording(dir / "r.hea", "0");
    EXPECT_EQ(recording.samples, (std::vector<double>{2.0, 2.0, 4.0, 4.0}));
    EXPECT_EQ(recording.invalidSamples, 2u);
    EXPECT_EQ(recording.channelName, "ECG");
}

TEST(WfdbRecording, ChannelsByNameIgnoringCaseOrByIndex)
{
    qztest::TempDir dir;
    Write(dir, {{{"r.hea", "r 2 250 3\nr.dat 212 200 12 0 0 0 0 I\nr.dat 212 200 12 0 0 0 0 II\n"}},
                {{"r.dat", Encode212({1, 2, 3, 4, 5, 6})}}});
    EXPECT_EQ(qzkit::ReadWfdbRecording(dir / "r.hea", "ii").samples.size(), 3u) << "names ignore case";
    EXPECT_EQ(qzkit::ReadWfdbRecording(dir / "r.hea", "1").channelName, "II");
    try {
        qzkit::ReadWfdbRecording(dir / "r.hea", "V5");
        FAIL() << "unknown channel accepted";
    } catch (const qzkit::ToolkitError &error) {
        EXPECT_NE(std::string(error.what()).find("'II'"), std::string::npos) << error.what();
    }
    EXPECT_THROW(qzkit::ReadWfdbRecording(dir / "r.hea", "2"), qzkit::ToolkitError);
    EXPECT_THROW(qzkit::ReadWfdbRecording(dir / "missing.hea", "0"), qzkit::ToolkitError);
}

TEST(WfdbRecord, SamplesPerFrameSkewAndChecksums)
{
    qztest::TempDir dir;
    // Frames of [a a b] in format 16; a has two samples per frame and lags one frame.
    const std::vector<std::uint8_t> bytes = Encode16({9, 9, 1, 3, -4, 2, -3, -4, 3, 7, 8, 4});
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

// Reading on where the last span ended decodes only what is new, also where a
// skewed signal made the last read run ahead: the frames read already are
// changed in the file after the first span, and the second span still sums on
// from the values read then.
TEST(WfdbRecord, ReadsOnFromTheLastSpanOfASkewedDifferenceFile)
{
    qztest::TempDir dir;
    const std::vector<std::uint8_t> differences{10, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8};
    Write(dir, {{{"d.hea", "d 2 250 6\nd.dat 8:2 200 8 0 0\nd.dat 8 200 8 0 0\n"}}, {{"d.dat", differences}}});
    std::vector<std::string> warnings;
    const auto whole = ReadAll(WfdbRecord(dir / "d"), warnings);
    EXPECT_EQ(whole[0].values, (std::vector<std::int32_t>{15, 19, 24, 30, 37, 45})) << "a sums 10 2 3 ..., two frames on";
    const WfdbRecord record(dir / "d");
    record.Read({0, 1}, {0, 3}, warnings);
    std::vector<std::uint8_t> changed = differences;
    std::fill_n(changed.begin(), 6, std::uint8_t{0});  // frames 0 to 2, read already
    qztest::WriteBytes(dir / "d.dat", changed);
    const auto rest = record.Read({0, 1}, {3, 6}, warnings);
    EXPECT_EQ(rest[0].values, std::vector<std::int32_t>(whole[0].values.begin() + 3, whole[0].values.end()));
    EXPECT_EQ(rest[1].values, std::vector<std::int32_t>(whole[1].values.begin() + 3, whole[1].values.end()));
}

TEST(WfdbRecord, WrittenRecordReadsBackWithItsChecksum)
{
    qztest::TempDir dir;
    const std::vector<int> written{32767, 32767, -5, 1000, -32768};  // the sum wraps past 16 bits
    qzkit::WriteWfdbRecord16(dir / "w", {250.0, 200.0, 0, "mV", "w"}, written);
    std::vector<std::string> warnings;
    const auto samples = ReadAll(WfdbRecord(dir / "w"), warnings);
    EXPECT_EQ(samples.at(0).values, std::vector<std::int32_t>(written.begin(), written.end()));
    EXPECT_TRUE(warnings.empty()) << warnings.at(0);
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
