// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <functional>

#include "constants/ConstantsCheck.h"
#include "constants/ConstantsDesign.h"

namespace {

using qzkit::ConstantsImage;

// A clean set: the designed ECG constants at 250 Hz.
ConstantsImage CleanImage()
{
    return qzkit::DesignConstants(qzkit::DesignRequest{}).image;
}

void SetInteger(ConstantsImage &image, const char *name, std::size_t index, std::int64_t value)
{
    qzkit::WriteIntegerValue(image, qzkit::FindConstantsField(name), index, value);
}

void SetFloat(ConstantsImage &image, const char *name, std::size_t index, double value)
{
    qzkit::WriteFloatValue(image, qzkit::FindConstantsField(name), index, qzkit::EncodeFloat24(value));
}

void SetTaps(ConstantsImage &image, std::array<int, 5> taps)
{
    for (std::size_t i = 0; i < taps.size(); ++i) {
        SetInteger(image, "LPFConstants", i, taps[i]);
    }
}

struct CheckCase {
    const char *name;
    std::function<void(ConstantsImage &)> change;
    const char *warning;  // part of the one expected warning; nullptr for none
};

class ConstantsWarnings : public ::testing::TestWithParam<CheckCase> {};

TEST_P(ConstantsWarnings, NameWhatWillMisbehave)
{
    const CheckCase c = GetParam();
    ConstantsImage image = CleanImage();
    c.change(image);
    const std::vector<std::string> warnings = qzkit::CheckConstants(image);
    if (c.warning == nullptr) {
        EXPECT_TRUE(warnings.empty()) << warnings.front();
        return;
    }
    ASSERT_EQ(warnings.size(), 1u) << (warnings.empty() ? "none" : warnings.back());
    EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConstantsWarnings,
    ::testing::Values(
        CheckCase{"CleanSet", [](ConstantsImage &) {}, nullptr},
        CheckCase{"MinAboveMax", [](ConstantsImage &i) { SetInteger(i, "MinBPM", 0, 241); },
                  "MinBPM 241 is above MaxBPM 240"},
        CheckCase{"NegativePeriod", [](ConstantsImage &i) { SetFloat(i, "Period", 0, -0.004); }, "is negative"},
        CheckCase{"PeriodAgainstFrequency", [](ConstantsImage &i) { SetFloat(i, "Period", 0, 1.0 / 360.0); },
                  "Frequency is 250 Hz"},
        CheckCase{"InfiniteFeedback", [](ConstantsImage &i) { SetFloat(i, "HPFConstantsA", 1, -HUGE_VAL); },
                  "HPFConstantsA[1] is infinite"},
        CheckCase{"PoleOnTheUnitCircle",
                  [](ConstantsImage &i) {
                      SetFloat(i, "HPFConstantsA", 0, -3.0);
                      SetFloat(i, "HPFConstantsA", 1, 3.0);
                      SetFloat(i, "HPFConstantsA", 2, -1.0);
                  },
                  "not inside the unit circle"},
        CheckCase{"PoleOutside", [](ConstantsImage &i) { SetFloat(i, "HPFConstantsA", 2, -1.2); }, "unstable"},
        CheckCase{"NumeratorCanWrap",
                  [](ConstantsImage &i) {
                      // No feedback, so that only the numerator's size matters.
                      for (std::size_t k = 0; k < 3; ++k) {
                          SetFloat(i, "HPFConstantsA", k, 0.0);
                      }
                      SetInteger(i, "HPFConstantsB", 0, 8);
                      SetInteger(i, "HPFConstantsB", 1, 25);
                      SetInteger(i, "LPFPostscale", 0, 255);
                      SetTaps(i, {0, 0, 0, 0, 10});
                  },
                  "sum to 33, above 32"},
        CheckCase{"AllTapsZero", [](ConstantsImage &i) { SetTaps(i, {0, 0, 0, 0, 0}); }, "every LPFConstants tap is 0"},
        CheckCase{"TapsSumToZero", [](ConstantsImage &i) { SetTaps(i, {1, 1, -1, -1, 0}); }, "sum to 0"},
        CheckCase{"NoPostscale", [](ConstantsImage &i) { SetInteger(i, "LPFPostscale", 0, 0); },
                  "scaling is always 1"},
        CheckCase{"LowPassClips",
                  [](ConstantsImage &i) {
                      SetTaps(i, {8, 16, 24, 32, 40});
                      SetInteger(i, "LPFPostscale", 0, 174);  // a swing of 518: the low-pass clips, the high-pass not
                  },
                  "more than the 511"},
        CheckCase{"HighPassClips", [](ConstantsImage &i) { SetInteger(i, "HPFConstantsB", 0, 2); },
                  "beyond its output range"}),
    [](const ::testing::TestParamInfo<CheckCase> &param) { return param.param.name; });

}  // namespace
