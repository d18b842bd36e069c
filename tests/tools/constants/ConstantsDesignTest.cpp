// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "constants/ConstantsCheck.h"
#include "constants/ConstantsDesign.h"
#include "ToolkitError.h"

namespace {

using qzkit::DesignHighPass;
using qzkit::DesignLowPassTaps;
using qzkit::HighPassCoefficients;
using qzkit::LowPassTaps;

constexpr double kRate = 250.0;

TEST(HighPassDesign, FeedbackIsTheThirdOrderButterworthOfTheBilinearTransform)
{
    // 1 + A0 z^-1 + A1 z^-2 + A2 z^-3 of the textbook 5 Hz high-pass at 250 Hz.
    const std::array<double, 3> expected{-2.748835809, 2.528231219, -0.777638560};
    for (const double scale : {1.0, 2.0, 4.0}) {
        const qzkit::HighPassDesign design = DesignHighPass(5.0 * scale, kRate * scale, 3);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(design.exact[i], expected[i], 1e-8) << "scale " << scale << " A" << i;
            EXPECT_LE(std::fabs(design.coefficients.a[i] - expected[i]), 2.0 * std::ldexp(1.0, -14));
        }
        EXPECT_EQ(design.coefficients.b0, 1u);
        EXPECT_EQ(design.coefficients.b1, 3u);
    }
}

struct TapsCase {
    double cutoff;
    double swing;
    LowPassTaps taps;
    unsigned postscale;
};

class LowPassTapsDesign : public ::testing::TestWithParam<TapsCase> {};

// The taps the documentation lists for these choices.
TEST_P(LowPassTapsDesign, GivesTheDocumentedTaps)
{
    const TapsCase c = GetParam();
    std::uint8_t postscale = 0;
    EXPECT_EQ(DesignLowPassTaps(c.cutoff, kRate, c.swing, postscale), c.taps);
    EXPECT_EQ(postscale, c.postscale);
}

// The triangle at the lowest cut-off, the shipped ECG set, the shipped pulse set.
INSTANTIATE_TEST_SUITE_P(DocumentedChoices, LowPassTapsDesign,
                         ::testing::Values(TapsCase{qzkit::LowestLowPassCutoff(kRate), 375.0, {8, 16, 24, 32, 40}, 240},
                                           TapsCase{20.0, 375.0, {3, 11, 24, 40, 53}, 251},
                                           TapsCase{16.3, 150.0, {3, 6, 9, 12, 15}, 225}));

TEST(ConstantsDesign, FillsEveryFieldAndPassesItsOwnChecks)
{
    qzkit::DesignRequest request;
    request.minBpm = 40;
    request.maxBpm = 200;
    request.onePeakBpm = 0;
    const qzkit::ConstantsDesign design = qzkit::DesignConstants(request);
    const qz::sampling_frequency_struct record = qzkit::ToSamplingRecord(design.image);
    EXPECT_EQ(record.Frequency, 250);
    EXPECT_EQ(record.Period, 0.003999948501586914f);
    EXPECT_EQ(record.MinBPM, 40);
    EXPECT_EQ(record.MaxBPM, 200);
    EXPECT_EQ(record.OnePerMinute, 0);
    EXPECT_EQ(record.LPFPostscale, design.postscale);
    EXPECT_EQ(record.LPFConstants[4], design.taps[4]);
    EXPECT_EQ(static_cast<double>(record.HPFConstantsA[0]), design.highPass.coefficients.a[0]);
    EXPECT_EQ(record.HPFConstantsB[0], 1);
    EXPECT_EQ(record.HPFConstantsB[1], 3);
    EXPECT_TRUE(qzkit::CheckConstants(design.image).empty());
    EXPECT_NE(qzkit::DescribeDesign(design).find("stable"), std::string::npos);
}

TEST(ConstantsDesign, RefusesRateLimitsItCannotStore)
{
    qzkit::DesignRequest request;
    request.minBpm = 100;
    request.maxBpm = 90;
    EXPECT_THROW(qzkit::DesignConstants(request), qzkit::ToolkitError);
    request.minBpm = 30;
    request.maxBpm = 1024;
    EXPECT_THROW(qzkit::DesignConstants(request), qzkit::ToolkitError);
    request.maxBpm = 240;
    request.onePeakBpm = 256;
    EXPECT_THROW(qzkit::DesignConstants(request), qzkit::ToolkitError);
}

}  // namespace
