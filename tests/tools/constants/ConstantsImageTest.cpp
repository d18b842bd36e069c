// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "constants/ConstantsImage.h"
#include "ToolRunner.h"
#include "ToolkitError.h"

namespace {

using qzkit::DecodeFloat24;
using qzkit::EncodeFloat24;
using qzkit::Float24;

// Every finite pattern survives decode + encode; exponent 255 is an infinity
// whatever its mantissa and comes back as the canonical one.
TEST(Float24, EveryPatternRoundTripsThroughItsDecodedValue)
{
    for (unsigned sign = 0; sign < 2; ++sign) {
        for (unsigned exponent = 0; exponent < 256; ++exponent) {
            for (const unsigned mantissa : {0u, 1u, 786u, 16384u, 32766u, 32767u}) {
                const Float24 bytes{static_cast<std::uint8_t>(mantissa & 0xFF),
                                    static_cast<std::uint8_t>((mantissa >> 8) | ((exponent & 1u) << 7)),
                                    static_cast<std::uint8_t>((exponent >> 1) | (sign << 7))};
                const float value = DecodeFloat24(bytes);
                if (exponent == 255) {
                    EXPECT_TRUE(std::isinf(value));
                    Float24 canonical = qzkit::kFloat24Infinity;
                    canonical[2] = static_cast<std::uint8_t>(canonical[2] | (sign << 7));
                    EXPECT_EQ(EncodeFloat24(static_cast<double>(value)), canonical);
                } else {
                    EXPECT_EQ(EncodeFloat24(static_cast<double>(value)), bytes)
                        << "exponent " << exponent << " mantissa " << mantissa;
                }
            }
        }
    }
}

TEST(ConstantsImage, ValuesWrittenByFieldAreWhatTheToolReads)
{
    qzkit::ConstantsImage image{};
    const auto field = [](const char *name) -> const qzkit::ConstantsField & {
        return qzkit::FindConstantsField(name);
    };
    qzkit::WriteIntegerValue(image, field("Frequency"), 0, 360);
    qzkit::WriteIntegerValue(image, field("MaxBPM"), 0, 65535);
    qzkit::WriteIntegerValue(image, field("MinBPM"), 0, 40);
    qzkit::WriteIntegerValue(image, field("OnePerMinute"), 0, 255);
    qzkit::WriteIntegerValue(image, field("LPFConstants"), 0, -128);
    qzkit::WriteIntegerValue(image, field("LPFConstants"), 4, 127);
    qzkit::WriteIntegerValue(image, field("HPFConstantsB"), 1, 200);
    qzkit::WriteIntegerValue(image, field("ContDelayCycles"), 0, 0x1234);
    qzkit::WriteFloatValue(image, field("Period"), 0, EncodeFloat24(1.0 / 360.0));
    qzkit::WriteFloatValue(image, field("HPFConstantsA"), 2, EncodeFloat24(-HUGE_VAL));

    const qz::sampling_frequency_struct record = qzkit::ToSamplingRecord(image);
    EXPECT_EQ(record.Frequency, 360);
    EXPECT_EQ(record.MaxBPM, 65535);
    EXPECT_EQ(record.MinBPM, 40);
    EXPECT_EQ(record.OnePerMinute, 255);
    EXPECT_EQ(record.LPFConstants[0], -128);
    EXPECT_EQ(record.LPFConstants[4], 127);
    EXPECT_EQ(record.HPFConstantsB[1], 200);
    EXPECT_EQ(record.ContDelayCycles, 0x1234);
    EXPECT_NEAR(record.Period, 1.0 / 360.0, 1e-7);
    EXPECT_EQ(record.HPFConstantsA[2], -std::numeric_limits<float>::infinity());
    EXPECT_EQ(qzkit::ReadIntegerValue(image, field("LPFConstants"), 0), -128);
    EXPECT_EQ(qzkit::ReadIntegerValue(image, field("ContDelayCycles"), 0), 0x1234);
}

TEST(ConstantsFile, ReadsTheFirstThirtyOneBytesAndRefusesShortFiles)
{
    qztest::TempDir dir;
    std::vector<std::uint8_t> bytes(40);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    qztest::WriteBytes(dir / "long.pvx.filters.v1", bytes);
    std::size_t extra = 0;
    const qzkit::ConstantsImage image = qzkit::ReadConstantsFile(dir / "long.pvx.filters.v1", extra);
    EXPECT_EQ(extra, 9u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bytes.begin()));

    qztest::WriteBytes(dir / "short.pvx.filters.v1", std::vector<std::uint8_t>(30));
    EXPECT_THROW(qzkit::ReadConstantsFile(dir / "short.pvx.filters.v1", extra), qzkit::ToolkitError);
    EXPECT_THROW(qzkit::ReadConstantsFile(dir / "missing.pvx.filters.v1", extra), qzkit::ToolkitError);

    qzkit::WriteConstantsFile(dir / "copy.pvx.filters.v1", image);
    EXPECT_EQ(qztest::ReadBytes(dir / "copy.pvx.filters.v1"), std::vector<std::uint8_t>(image.begin(), image.end()));
}

}  // namespace
