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

TEST(HighPassDesign, RoundedFeedbackStaysStableAndKeepsTheCutoff)
{
    for (const double rate : {250.0, 360.0, 500.0}) {
        for (const double fraction : {0.008, 0.012, 0.02, 0.04, 0.08, 0.2}) {
            const double cutoff = fraction * rate;
            const qzkit::HighPassDesign design = DesignHighPass(cutoff, rate, 3);
            EXPECT_TRUE(qzkit::HighPassStable(design.coefficients)) << cutoff << " Hz at " << rate;
            for (const std::complex<double> &pole : qzkit::HighPassPoles(design.coefficients)) {
                EXPECT_LT(std::abs(pole), 1.0);
            }
            EXPECT_LT(design.worstErrorDb, 1.0) << cutoff << " Hz at " << rate;
            EXPECT_NEAR(qzkit::HighPassCutoffOf(design.coefficients, rate), cutoff, 0.06 * cutoff);
            EXPECT_NEAR(std::abs(qzkit::HighPassResponse(design.coefficients, 0.0, rate)), 0.0, 1e-9);
        }
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

TEST(LowPassDesign, MeetsTheCutoffAndSwingAcrossItsRange)
{
    EXPECT_NEAR(qzkit::LowestLowPassCutoff(kRate), 16.26, 0.01);
    for (double cutoff = 17.0; cutoff <= 0.3 * kRate; cutoff += 4.0) {
        for (const double swing : {100.0, 250.0, 400.0}) {
            std::uint8_t postscale = 0;
            const LowPassTaps taps = DesignLowPassTaps(cutoff, kRate, swing, postscale);
            EXPECT_NEAR(qzkit::LowPassCutoffOf(taps, kRate), cutoff, 0.05 * cutoff) << cutoff;
            EXPECT_NEAR(qzkit::LowPassSwing(taps, postscale, 1023), swing, 0.03 * swing) << cutoff;
            EXPECT_TRUE(std::all_of(taps.begin(), taps.end(), [](int tap) { return tap >= -128 && tap <= 127; }));
        }
    }
}

TEST(ConstantsDesign, FillsEveryFieldAndPassesItsOwnChecks)
{
    qzkit::DesignRequest request;
    request.minBpm = 40;
    request.maxBpm = 200;
    request.onePeakBpm = 0;
    const qzkit::ConstantsDesign design = qzkit::DesignConstants(request);
    const sampling_frequency_struct record = qzkit::ToSamplingRecord(design.image);
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
