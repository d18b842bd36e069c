// SPDX-License-Identifier: Apache-2.0
// MIT annotation files written byte by byte: every pseudo-annotation, the
// reference beats they give, truncation, the writer and the beat codes.
#include <gtest/gtest.h>

#include <fstream>

#include "io/ReferenceBeats.h"
#include "ToolRunner.h"
#include "ToolkitError.h"
#include "io/wfdb/MitAnnotations.h"

namespace {

using qzkit::Annotation;
using qzkit::ToolkitError;

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
    std::ofstream(dir / "r.hea") << "r 1 360 200000\nr.dat 16\n";
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
