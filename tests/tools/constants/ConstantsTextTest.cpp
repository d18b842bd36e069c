// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "constants/ConstantsText.h"
#include "ToolkitError.h"

namespace {

using qzkit::ConstantsImage;
using qzkit::ParseConstantsText;

const char *const kEcgText = R"(# ECG at 250 Hz
Frequency       = 250
DelayCycles     = 0
Period          = 0.004      # seconds per sample
MaxBPM          = 240
MinBPM          = 30
OnePerMinute    = 60
LPFConstants    = 1, 2, 3, 4, 5
LPFPostscale    = 30
HPFConstantsA   = -2.7488, 2.5282, -0.77764
HPFConstantsB   = 1, 3
ContDelayCycles = 0
)";

// The bytes of kEcgText.
const ConstantsImage kEcgImage{0xFA, 0x00, 0x00, 0x00, 0x12, 0x83, 0x3B, 0xF0, 0x00, 0x1E, 0x00,
                               0x3C, 0x01, 0x02, 0x03, 0x04, 0x05, 0x1E, 0xEC, 0x2F, 0xC0, 0xCE,
                               0x21, 0x40, 0x13, 0x47, 0xBF, 0x01, 0x03, 0x00, 0x00};

// The text with the line that starts with `line` replaced.
std::string Replace(std::string text, const std::string &line, const std::string &replacement)
{
    const std::size_t start = text.find("\n" + line) + 1;
    return text.replace(start, text.find('\n', start) - start, replacement);
}

TEST(ConstantsText, ParsesEveryFieldAndReportsEachFloatsRounding)
{
    const qzkit::ParsedConstants parsed = ParseConstantsText(kEcgText, "ecg.txt");
    EXPECT_EQ(parsed.image, kEcgImage);
    ASSERT_EQ(parsed.roundings.size(), 4u);
    EXPECT_EQ(parsed.roundings[0].field, "Period");
    EXPECT_EQ(parsed.roundings[0].requested, 0.004);
    EXPECT_EQ(parsed.roundings[0].stored, 0.003999948501586914f);
    EXPECT_EQ(parsed.roundings[3].field, "HPFConstantsA[2]");
    EXPECT_LE(std::fabs(static_cast<double>(parsed.roundings[3].stored) + 0.77764), std::ldexp(1.0, -17));
}

// Any image whose infinities are canonical comes back byte for byte.
TEST(ConstantsText, FormattedImagesParseBackToTheSameBytes)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        ConstantsImage image{};
        for (std::uint8_t &byte : image) {
            byte = static_cast<std::uint8_t>(random());
        }
        for (const std::size_t offset : {4u, 18u, 21u, 24u}) {
            const bool infinite = ((image[offset + 2] & 0x7F) == 0x7F) && (image[offset + 1] & 0x80) != 0;
            if (infinite) {
                image[offset] = 0x00;
                image[offset + 1] = 0x80;
            }
        }
        const std::string text = qzkit::FormatConstantsText(image);
        EXPECT_EQ(ParseConstantsText(text, "random.txt").image, image) << text;
    }
}

struct BadTextCase {
    const char *name;
    std::string text;
    const char *message;
};

class ConstantsTextErrors : public ::testing::TestWithParam<BadTextCase> {};

TEST_P(ConstantsTextErrors, AreReportedWithFileLineAndReason)
{
    const BadTextCase c = GetParam();
    try {
        ParseConstantsText(c.text, "bad.txt");
        FAIL() << "accepted " << c.text;
    } catch (const qzkit::ToolkitError &error) {
        EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConstantsTextErrors,
    ::testing::Values(
        BadTextCase{"UnknownField", std::string(kEcgText) + "Gain = 3\n", "bad.txt:13: unknown field 'Gain'"},
        BadTextCase{"RepeatedField", std::string(kEcgText) + "MinBPM = 40\n", "bad.txt:13: MinBPM given again"},
        BadTextCase{"MissingField", Replace(kEcgText, "OnePerMinute", "# none"), "missing field OnePerMinute"},
        BadTextCase{"NoEquals", Replace(kEcgText, "MinBPM", "MinBPM 30"), "bad.txt:6: expected 'Field = value'"},
        BadTextCase{"TooFewTaps", Replace(kEcgText, "LPFConstants", "LPFConstants = 1, 2, 3, 4"),
                    "LPFConstants: expected 5 values, got 4"},
        BadTextCase{"SixteenBitOverflow", Replace(kEcgText, "MaxBPM", "MaxBPM = 65536"), "outside 0..65535"},
        BadTextCase{"SignedByteOverflow", Replace(kEcgText, "LPFConstants", "LPFConstants = 128, 2, 3, 4, 5"),
                    "outside -128..127"},
        BadTextCase{"FractionalInteger", Replace(kEcgText, "OnePerMinute", "OnePerMinute = 60.5"),
                    "'60.5' is not a whole number"},
        BadTextCase{"NotANumber", Replace(kEcgText, "Period ", "Period = nan"), "'nan' is not a number"},
        BadTextCase{"FloatBeyondRange", Replace(kEcgText, "Period ", "Period = 1e39"), "beyond the largest"},
        BadTextCase{"FloatBeyondDouble", Replace(kEcgText, "Period ", "Period = -1e400"), "beyond the largest"}),
    [](const ::testing::TestParamInfo<BadTextCase> &param) { return param.param.name; });

}  // namespace
