// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <vector>

#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "TestBuffers.h"

using namespace qz;

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

}  // namespace
