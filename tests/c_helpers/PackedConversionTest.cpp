#include <gtest/gtest.h>

#include <vector>

#include "QZ_Filters/PackedGroup.h"
#include "QZ_Helpers.h"
#include "QZ_Library_Configuration.h"
#include "TestBuffers.h"

namespace {

std::vector<BYTE> PackFour(std::vector<UINT16> samples)
{
    SampleCount = 4;
    std::vector<BYTE> bytes(5, 0xAA);
    hlp_convertUnpackedToPacked(samples.data(), bytes.data());
    return bytes;
}

TEST(PackedConversion, GroupLayoutExamples)
{
    struct Case {
        std::vector<UINT16> samples;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, {0x00, 0x00, 0x00, 0x00, 0x00}},
        {{1023, 1023, 1023, 1023}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {{1, 2, 3, 1023}, {0xFF, 0x03, 0x02, 0x01, 0xC0}},
        {{256, 512, 768, 0}, {0x00, 0x00, 0x00, 0x00, 0x39}},
        // Bits 10-15 of an input word are discarded, not saturated.
        {{0xFFFF, 1024, 1500, 2047}, {0xFF, 0xDC, 0x00, 0xFF, 0xD3}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(PackFour(c.samples), c.bytes);
    }
}

TEST(PackedConversion, UnpackInvertsPackModulo1024)
{
    for (const std::size_t count : {std::size_t{600}, std::size_t{1500}}) {
        qztest::ResetState();
        auto words = qztest::RandomSamples(count, static_cast<std::uint32_t>(7 + count), 0xFFFF);
        qztest::PackedBuffer buffer(words);
        EXPECT_EQ(BufferSize, count / 4 * 5);
        const auto unpacked = buffer.unpack();
        ASSERT_EQ(unpacked.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(unpacked[i], words[i] % 1024) << "sample " << i;
        }
    }
}

TEST(PackedConversion, LastSampleOfFullRecordLivesInLastGroup)
{
    std::vector<UINT16> words(1500, 0);
    words[1499] = 0x2AB;  // low byte AB, high pair 10
    qztest::PackedBuffer buffer(words);
    EXPECT_EQ(buffer.bytes[1870], 0xAB);
    EXPECT_EQ(buffer.bytes[1874], 0x80);  // pair at bits 6-7
    for (std::size_t i = 0; i < 1870; ++i) {
        ASSERT_EQ(buffer.bytes[i], 0) << i;
    }
}

TEST(PackedGroup, RewritingAGroupWithItsOwnValuesChangesNothing)
{
    qztest::PackedBuffer buffer(qztest::RandomSamples(1500, 3));
    const auto before = buffer.bytes;
    for (UINT16 index = 0; index < CalcHeart_BufferLength;) {
        UINT16 samples[4];
        ReadGroup(buffer.data(), index, samples);
        WriteGroupBack(buffer.data(), index, samples);
    }
    EXPECT_EQ(buffer.bytes, before);
}

TEST(PackedGroup, OutOfRangeValueDoesNotDisturbItsNeighbours)
{
    std::vector<BYTE> bytes(5, 0);
    const UINT16 values[4] = {1, 0xFFFF, 3, 4};
    WriteGroupAt(bytes.data(), 0, values);
    UINT16 back[4];
    ReadGroupAt(bytes.data(), 0, back);
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(back[2], 3);
    EXPECT_EQ(back[3], 4);
}

}  // namespace
