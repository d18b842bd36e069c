// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include <qz_vozozi_DE/QZ_Helpers.h>

using namespace qz;

namespace {

float Decode(BYTE b0, BYTE b1, BYTE b2)
{
    const BYTE bytes[3] = {b0, b1, b2};
    return hlp_convert24bitToFloat(bytes);
}

std::uint32_t Bits(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// For exponents 1..254 the format is a float with its lowest byte dropped;
// exponent 0 scales the implied one by 2^-127 instead of meaning a subnormal.
TEST(Float24, MatchesTruncatedSinglePrecisionForEveryExponent)
{
    std::mt19937 generator(11);
    for (int trial = 0; trial < 20000; ++trial) {
        const auto b0 = static_cast<BYTE>(generator());
        const auto b1 = static_cast<BYTE>(generator());
        const auto b2 = static_cast<BYTE>(generator());
        const unsigned exponent = ((b2 & 127u) << 1) | (b1 >> 7);
        const float decoded = Decode(b0, b1, b2);
        const std::uint32_t mantissa = ((b1 & 127u) << 8) | b0;
        if (exponent == 0) {
            const float expected = std::ldexp(1.0f + static_cast<float>(mantissa) / 32768.0f, -127);
            ASSERT_EQ(decoded, (b2 & 0x80u) ? -expected : expected);
        } else if (exponent == 255) {
            ASSERT_TRUE(std::isinf(decoded));
            ASSERT_EQ(std::signbit(decoded), (b2 & 0x80u) != 0);
        } else {
            const std::uint32_t ieee = (static_cast<std::uint32_t>(b2) << 24) | (static_cast<std::uint32_t>(b1) << 16) |
                                       (static_cast<std::uint32_t>(b0) << 8);
            ASSERT_EQ(Bits(decoded), ieee);
        }
    }
}

TEST(ConstantsImage, EveryFieldFromItsOffset)
{
    const BYTE image[31] = {0xFA, 0x00, 0x34, 0x12,                          // Frequency, DelayCycles
                            0x12, 0x83, 0x3B,                                // Period
                            0xF0, 0x00, 0x1E, 0x00,                          // MaxBPM 240, MinBPM 30
                            0x50,                                            // OnePerMinute
                            0xFF, 0x02, 0x80, 0x7F, 0x05,                    // taps -1, 2, -128, 127, 5
                            0x1E,                                            // postscale
                            0x00, 0x80, 0x3F, 0x00, 0x20, 0xC0, 0xFF, 0xFF, 0x7F,  // A: 1, -2.5, inf
                            0xFF, 0x03,                                      // B0 255, B1 3
                            0xCD, 0xAB};
    sampling_frequency_struct record{};
    hlp_convertSamplingTo64bitFloat(image, &record);
    EXPECT_EQ(record.Frequency, 250);
    EXPECT_EQ(record.DelayCycles, 0x1234);
    EXPECT_EQ(record.Period, 0.003999948501586914f);
    EXPECT_EQ(record.MaxBPM, 240);
    EXPECT_EQ(record.MinBPM, 30);
    EXPECT_EQ(record.OnePerMinute, 0x50);
    const SBYTE taps[5] = {-1, 2, -128, 127, 5};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(record.LPFConstants[i], taps[i]) << i;
    }
    EXPECT_EQ(record.LPFPostscale, 30);
    EXPECT_EQ(record.HPFConstantsA[0], 1.0f);
    EXPECT_EQ(record.HPFConstantsA[1], -2.5f);
    EXPECT_TRUE(std::isinf(record.HPFConstantsA[2]));
    EXPECT_EQ(record.HPFConstantsB[0], 255);
    EXPECT_EQ(record.HPFConstantsB[1], 3);
    EXPECT_EQ(record.ContDelayCycles, 0xABCD);
}

}  // namespace
