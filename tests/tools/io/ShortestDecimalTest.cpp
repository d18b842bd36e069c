// SPDX-License-Identifier: Apache-2.0
// The shortest decimal text against the C++ library's std::to_chars, which
// it must match character for character on the desktop: edge values (zeros,
// subnormals, powers of two where the lower gap halves, the fixed-versus-
// scientific boundaries, exact ties) and random bit patterns.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "io/ShortestDecimal.h"

namespace {

template <typename Real>
std::string LibraryText(Real value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

template <typename Real>
void ExpectLibraryText(Real value)
{
    ASSERT_EQ(qzkit::ShortestDecimal(value), LibraryText(value))
        << "bits " << std::hex << std::bit_cast<std::conditional_t<sizeof(Real) == 8, std::uint64_t, std::uint32_t>>(value);
}

TEST(ShortestDecimal, EdgeValuesAsTheLibraryWritesThem)
{
    const double values[] = {0.0, -0.0, 1.0, -1.0, 0.1, 0.3, 0.004, 250.0, 1e5, 123456.0, 1234567.0, 1e-5, 1e-4,
                             1.5e-5, 9.5367431640625e-7, 1e21, 1e22, 1e23, 1.2345678901234567e20, 9007199254740993.0,
                             std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::max(), std::nextafter(std::numeric_limits<double>::min(), 0.0)};
    for (const double value : values) {
        ExpectLibraryText(value);
        ExpectLibraryText(static_cast<float>(value));
    }
    for (int exponent = -1074; exponent <= 1023; ++exponent) {
        ExpectLibraryText(std::ldexp(1.0, exponent));
        ExpectLibraryText(std::ldexp(3.0, exponent - 1));
    }
    for (int exponent = -149; exponent <= 127; ++exponent) {
        ExpectLibraryText(std::ldexp(1.0f, exponent));
    }
    for (int exponent = -30; exponent <= 30; ++exponent) {
        ExpectLibraryText(std::pow(10.0, exponent));
        ExpectLibraryText(static_cast<float>(std::pow(10.0, exponent)));
    }
    for (std::uint32_t integer = 0; integer < 5000; ++integer) {
        ExpectLibraryText(static_cast<double>(integer) * 0.5);
        ExpectLibraryText(static_cast<float>(integer) / 200.0f);
    }
}

TEST(ShortestDecimal, RandomBitPatternsAndEverydayValuesAsTheLibraryWritesThem)
{
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 50000; ++i) {
        const std::uint64_t bits = random();
        ExpectLibraryText(std::bit_cast<double>(bits));
        ExpectLibraryText(std::bit_cast<float>(static_cast<std::uint32_t>(bits >> 16)));
        // Values of everyday size: a random mantissa scaled within about 1e-18..1e18.
        const double everyday = std::ldexp(static_cast<double>(bits >> 11), static_cast<int>(bits % 120) - 113);
        ExpectLibraryText(everyday);
        ExpectLibraryText(static_cast<float>(everyday));
    }
}

}  // namespace
