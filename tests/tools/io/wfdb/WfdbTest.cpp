// WFDB readers on small records and annotation files written byte by byte.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "io/ReferenceBeats.h"
#include "ToolRunner.h"
#include "ToolkitError.h"
#include "io/wfdb/MitAnnotations.h"
#include "io/wfdb/WfdbHeader.h"
#include "io/wfdb/WfdbRecord.h"
#include "io/wfdb/WfdbRecording.h"

namespace {

using qzkit::Annotation;
using qzkit::ToolkitError;

void WriteText(const std::filesystem::path &path, const std::string &text)
{
    std::ofstream(path) << text;
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

std::vector<std::vector<std::int32_t>> ReadAll(const std::filesystem::path &header)
{
    const qzkit::WfdbRecord record(header);
    std::vector<std::size_t> signals(record.Signals().size());
    for (std::size_t s = 0; s < signals.size(); ++s) signals[s] = s;
    std::vector<std::string> warnings;
    std::vector<std::vector<std::int32_t>> values;
    for (auto &samples : record.Read(signals, {0, record.Frames()}, warnings)) values.push_back(samples.values);
    return values;
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
                             "rec 1 250\nrec.dat 81\n", "rec 1 250\nrec.dat 16x0\n", "rec 1 250\nrec.dat 16:-3\n",
                             "rec 1 abc\nrec.dat 16\n", "rec 1 250\nrec.dat 16 2x0\n", "rec 1 -5\nrec.dat 16\n"}) {
        EXPECT_THROW(Parse(text), ToolkitError) << text;
    }
}

struct SignalCase {
    const char *name;
    int format;
    std::size_t signals;
    std::vector<int> interleaved;
};

class WfdbSignals : public ::testing::TestWithParam<SignalCase> {};

TEST_P(WfdbSignals, DecodesEverySignalOfAnInterleavedFile)
{
    const SignalCase c = GetParam();
    qztest::TempDir dir;
    const std::size_t frames = c.interleaved.size() / c.signals;
    std::string header = "rec " + std::to_string(c.signals) + " 360 " + std::to_string(frames) + "\n";
    for (std::size_t s = 0; s < c.signals; ++s) {
        header += "rec.dat " + std::to_string(c.format) + " 100(10)/mV 12 0 0 0 0 lead" + std::to_string(s) + "\n";
    }
    WriteText(dir / "rec.hea", header);
    qztest::WriteBytes(dir / "rec.dat", c.format == 212 ? Encode212(c.interleaved) : Encode16(c.interleaved));

    const auto raw = ReadAll(dir / "rec.hea");
    ASSERT_EQ(raw.size(), c.signals);
    for (std::size_t s = 0; s < c.signals; ++s) {
        ASSERT_EQ(raw[s].size(), frames);
        for (std::size_t f = 0; f < frames; ++f) {
            EXPECT_EQ(raw[s][f], c.interleaved[f * c.signals + s]) << "signal " << s << " frame " << f;
        }
    }
    const auto last = qzkit::ReadWfdbRecording(dir / "rec.hea", "lead" + std::to_string(c.signals - 1));
    EXPECT_DOUBLE_EQ(last.samples.back(), (c.interleaved.back() - 10) / 100.0);
    EXPECT_EQ(last.units, "mV");
    EXPECT_DOUBLE_EQ(last.rate, 360.0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WfdbSignals,
    ::testing::Values(SignalCase{"f212_two_leads", 212, 2, {1, -1, 2047, -2047, 0, 1000, -5, 17}},
                      SignalCase{"f212_odd_count", 212, 1, {-3, 5, -2047, 2047, 300}},
                      SignalCase{"f212_three_leads_odd", 212, 3, {10, -20, 30, -40, 50, -60, 70, -80, 90}},
                      SignalCase{"f16_two_leads", 16, 2, {-32767, 32767, 0, -1, 12345, -12345}},
                      SignalCase{"f16_one_lead_odd", 16, 1, {-7, 8, -9}}),
    [](const ::testing::TestParamInfo<SignalCase> &param) { return param.param.name; });

TEST(WfdbSignals, Format212BytesMatchTheirLayout)
{
    qztest::TempDir dir;
    WriteText(dir / "r.hea", "r 1 250 4\nr.dat 212\n");
    // 1 and -1: 01 F0 FF; -2048 and 2047: 00 78 FF.
    qztest::WriteBytes(dir / "r.dat", {0x01, 0xF0, 0xFF, 0x00, 0x78, 0xFF});
    const auto raw = ReadAll(dir / "r.hea");
    EXPECT_EQ(raw.at(0), (std::vector<std::int32_t>{1, -1, -2048, 2047}));
}

TEST(WfdbSignals, LengthFromTheFileOffsetsAndInvalidSamples)
{
    qztest::TempDir dir;
    // No sample count: the file's size decides. 24 header bytes are skipped.
    WriteText(dir / "r.hea", "r 1 250\nr.dat 16+4 2/mV 16 0 0 0 0 ECG\n");
    std::vector<std::uint8_t> bytes{0xAA, 0xBB, 0xCC, 0xDD};
    for (const auto b : Encode16({4, -32768, 8, -32768})) bytes.push_back(b);
    qztest::WriteBytes(dir / "r.dat", bytes);
    const auto recording = qzkit::ReadWfdbRecording(dir / "r.hea", "0");
    EXPECT_EQ(recording.samples, (std::vector<double>{2.0, 2.0, 4.0, 4.0}));
    EXPECT_EQ(recording.invalidSamples, 2u);
    EXPECT_EQ(recording.channelName, "ECG");
}

TEST(WfdbSignals, ShortFilesUnknownChannelsAndMissingFilesAreErrors)
{
    qztest::TempDir dir;
    WriteText(dir / "r.hea", "r 2 250 3\nr.dat 212 200 12 0 0 0 0 I\nr.dat 212 200 12 0 0 0 0 II\n");
    qztest::WriteBytes(dir / "r.dat", Encode212({1, 2, 3, 4, 5}));  // one value short
    EXPECT_THROW(qzkit::ReadWfdbRecording(dir / "r.hea", "I"), ToolkitError);
    qztest::WriteBytes(dir / "r.dat", Encode212({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(qzkit::ReadWfdbRecording(dir / "r.hea", "ii").samples.size(), 3u) << "names ignore case";
    EXPECT_EQ(qzkit::ReadWfdbRecording(dir / "r.hea", "1").channelName, "II");
    try {
        qzkit::ReadWfdbRecording(dir / "r.hea", "V5");
        FAIL() << "unknown channel accepted";
    } catch (const ToolkitError &error) {
        EXPECT_NE(std::string(error.what()).find("'II'"), std::string::npos) << error.what();
    }
    EXPECT_THROW(qzkit::ReadWfdbRecording(dir / "r.hea", "2"), ToolkitError);
    EXPECT_THROW(qzkit::ReadWfdbRecording(dir / "missing.hea", "0"), ToolkitError);
}

// ---- Annotations ----

void Word(std::vector<std::uint8_t> &bytes, unsigned code, unsigned data)
{
    const unsigned word = (code << 10) | data;
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFFu));
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
}

void Text(std::vector<std::uint8_t> &bytes, const std::string &text)
{
    Word(bytes, 63, static_cast<unsigned>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
    if (text.size() % 2 != 0) bytes.push_back(0);
}

// Every pseudo-annotation kind: SKIP (59), NUM (60), SUB (61), CHN (62), AUX (63).
std::vector<std::uint8_t> AnnotationBytes()
{
    std::vector<std::uint8_t> bytes;
    Word(bytes, 28, 18);  // rhythm '+' at 18
    Text(bytes, "(N");
    Word(bytes, 1, 100);  // N at 118
    Word(bytes, 61, 2);   // subtype 2
    Word(bytes, 62, 1);   // channel 1, carried on
    Word(bytes, 60, 5);   // number 5, carried on
    Word(bytes, 22, 0);   // note at 118
    Text(bytes, "odd");
    Word(bytes, 59, 0);   // skip 100000 = 0x000186A0, high half first
    for (const int b : {0x01, 0x00, 0xA0, 0x86}) bytes.push_back(static_cast<std::uint8_t>(b));
    Word(bytes, 5, 0);    // V at 100118
    Word(bytes, 14, 50);  // noise at 100168
    Word(bytes, 8, 1023); // A at 101191
    Word(bytes, 0, 0);    // end
    Word(bytes, 1, 5);    // after the end: ignored
    return bytes;
}

TEST(MitAnnotations, AppliesEveryPseudoAnnotation)
{
    qztest::TempDir dir;
    qztest::WriteBytes(dir / "r.atr", AnnotationBytes());
    const auto annotations = qzkit::ReadMitAnnotations(dir / "r.atr");
    struct Expected {
        std::int64_t sample;
        int code, subtype, channel, number;
        const char *aux;
    };
    const std::vector<Expected> expected{{18, 28, 0, 0, 0, "(N"},        {118, 1, 2, 1, 5, ""},
                                         {118, 22, 0, 1, 5, "odd"},       {100118, 5, 0, 1, 5, ""},
                                         {100168, 14, 0, 1, 5, ""},       {101191, 8, 0, 1, 5, ""}};
    ASSERT_EQ(annotations.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Annotation &a = annotations[i];
        EXPECT_EQ(a.sample, expected[i].sample) << i;
        EXPECT_EQ(a.code, expected[i].code) << i;
        EXPECT_EQ(a.subtype, expected[i].subtype) << i;
        EXPECT_EQ(a.channel, expected[i].channel) << i;
        EXPECT_EQ(a.number, expected[i].number) << i;
        EXPECT_EQ(a.aux, expected[i].aux) << i;
    }
}

TEST(MitAnnotations, ReferenceKeepsOnlyBeatsAtTheRecordsRate)
{
    qztest::TempDir dir;
    qztest::WriteBytes(dir / "r.atr", AnnotationBytes());
    EXPECT_THROW(qzkit::ReadReferenceAnnotations(dir / "r.atr", 0.0), ToolkitError) << "rate unknown";
    WriteText(dir / "r.hea", "r 1 360 200000\nr.dat 16\n");
    const auto beats = qzkit::ReadReferenceAnnotations(dir / "r.atr", 0.0);
    EXPECT_EQ(beats.ticks, (std::vector<double>{118, 100118, 101191}));
    EXPECT_DOUBLE_EQ(beats.ticksPerSecond, 360.0);
    EXPECT_DOUBLE_EQ(qzkit::ReadReferenceAnnotations(dir / "r.atr", 500.0).ticksPerSecond, 500.0);
}

TEST(MitAnnotations, TruncatedFilesAreErrors)
{
    qztest::TempDir dir;
    // Inside the first text, before the padding of an odd text, inside the
    // skip, and just before the end marker.
    for (const std::size_t cut : {std::size_t{4}, std::size_t{21}, std::size_t{25}, AnnotationBytes().size() - 4}) {
        auto bytes = AnnotationBytes();
        bytes.resize(cut);
        qztest::WriteBytes(dir / "t.atr", bytes);
        EXPECT_THROW(qzkit::ReadMitAnnotations(dir / "t.atr"), ToolkitError) << cut;
    }
}

TEST(MitAnnotations, WriterRoundTripsLongGapsChannelsAndText)
{
    qztest::TempDir dir;
    std::vector<Annotation> written{{5, 1, 0, 0, 0, ""},         {5, 28, 0, 0, 0, "(AFIB"},
                                    {70000, 5, 3, 2, 9, ""},     {70500, 1, 0, 2, 9, "x"},
                                    {4000000, 22, 0, 0, 0, "## time resolution: 128"}};
    qzkit::WriteMitAnnotations(dir / "w.atr", written);
    const auto read = qzkit::ReadMitAnnotations(dir / "w.atr");
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].sample, written[i].sample) << i;
        EXPECT_EQ(read[i].code, written[i].code) << i;
        EXPECT_EQ(read[i].subtype, written[i].subtype) << i;
        EXPECT_EQ(read[i].channel, written[i].channel) << i;
        EXPECT_EQ(read[i].number, written[i].number) << i;
        EXPECT_EQ(read[i].aux, written[i].aux) << i;
    }
    EXPECT_DOUBLE_EQ(qzkit::AnnotationTimeResolution(read), 128.0);
}

TEST(MitAnnotations, BeatCodes)
{
    int beats = 0;
    for (int code = 0; code <= 49; ++code) {
        beats += qzkit::IsBeatCode(code) ? 1 : 0;
    }
    EXPECT_EQ(beats, 19);
    for (const int code : {1, 5, 8, 12, 13, 38}) EXPECT_TRUE(qzkit::IsBeatCode(code)) << code;
    for (const int code : {0, 14, 16, 22, 28, 39}) EXPECT_FALSE(qzkit::IsBeatCode(code)) << code;
}

}  // namespace
