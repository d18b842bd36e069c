#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "constants/ConstantsCheck.h"
#include "constants/ConstantsDesign.h"
#include "TestBuffers.h"
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

TEST(HighPassDesign, FirstOrderIsOnePoleOverADifferenceWithAQuarterRateZero)
{
    const qzkit::HighPassDesign design = DesignHighPass(0.5, kRate, 1);
    EXPECT_NEAR(design.exact[0], -0.98751193, 1e-8);  // the textbook first-order 0.5 Hz high-pass at 250 Hz
    EXPECT_EQ(design.stored[1], (qzkit::Float24{0x00, 0x00, 0x00}));  // 2^-127, the nearest to 0
    EXPECT_EQ(design.stored[2], (qzkit::Float24{0x00, 0x00, 0x00}));
    EXPECT_EQ(design.coefficients.b0, 1u);
    EXPECT_EQ(design.coefficients.b1, 1u);
    for (const double cutoff : {0.1, 0.3, 0.5, 1.0}) {
        const qzkit::HighPassDesign first = DesignHighPass(cutoff, kRate, 1);
        EXPECT_TRUE(qzkit::HighPassStable(first.coefficients));
        EXPECT_NEAR(qzkit::HighPassCutoffOf(first.coefficients, kRate), cutoff, 0.05 * cutoff) << cutoff;
        EXPECT_NEAR(std::abs(qzkit::HighPassResponse(first.coefficients, 10.0 * cutoff, kRate)), 2.0, 0.1);
        EXPECT_NEAR(std::abs(qzkit::HighPassResponse(first.coefficients, kRate / 4.0, kRate)), 0.0, 1e-9);
    }
}

TEST(HighPassDesign, RefusesCutoffsItCannotHold)
{
    EXPECT_THROW(DesignHighPass(0.3, kRate, 3), qzkit::ToolkitError);  // unstable once rounded to 3 bytes
    EXPECT_THROW(DesignHighPass(0.8, kRate, 3), qzkit::ToolkitError);  // stable, but 19 dB off
    EXPECT_THROW(DesignHighPass(0.0, kRate, 3), qzkit::ToolkitError);
    EXPECT_THROW(DesignHighPass(-5.0, kRate, 3), qzkit::ToolkitError);
    EXPECT_THROW(DesignHighPass(70.0, kRate, 3), qzkit::ToolkitError);
    EXPECT_THROW(DesignHighPass(5.0, 0.0, 3), qzkit::ToolkitError);
    EXPECT_THROW(DesignHighPass(5.0, kRate, 2), qzkit::ToolkitError);
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

TEST(LowPassDesign, RefusesCutoffsAndSwingsOutOfReach)
{
    std::uint8_t postscale = 0;
    EXPECT_THROW(DesignLowPassTaps(12.0, kRate, 375.0, postscale), qzkit::ToolkitError);
    EXPECT_THROW(DesignLowPassTaps(80.0, kRate, 375.0, postscale), qzkit::ToolkitError);
    EXPECT_THROW(DesignLowPassTaps(20.0, kRate, 20.0, postscale), qzkit::ToolkitError);
    EXPECT_THROW(DesignLowPassTaps(20.0, kRate, 600.0, postscale), qzkit::ToolkitError);
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

TEST(HighPassResponse, StabilityTestAgreesWithThePoles)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> spread(-1.0, 1.0);
    int stable = 0;
    for (int round = 0; round < 3000; ++round) {
        HighPassCoefficients filter;
        filter.a = {3.5 * spread(random), 4.0 * spread(random), 1.5 * spread(random)};
        double radius = 0.0;
        for (const std::complex<double> &pole : qzkit::HighPassPoles(filter)) {
            radius = std::max(radius, std::abs(pole));
        }
        if (std::fabs(radius - 1.0) < 1e-6) {
            continue;
        }
        EXPECT_EQ(qzkit::HighPassStable(filter), radius < 1.0)
            << filter.a[0] << " " << filter.a[1] << " " << filter.a[2];
        stable += radius < 1.0 ? 1 : 0;
    }
    EXPECT_GT(stable, 50);  // both outcomes are exercised
}

TEST(HighPassResponse, OutputRangeOfTheBareNumerator)
{
    // Without feedback a step of s gives s, -2 s, s; the impulse response
    // 1, -3, 3, -1 sums to 8 in magnitude.
    const qzkit::HighPassRange range = qzkit::HighPassOutputRange(HighPassCoefficients{}, 100.0);
    EXPECT_DOUBLE_EQ(range.stepHighest, 100.0);
    EXPECT_DOUBLE_EQ(range.stepLowest, -200.0);
    EXPECT_DOUBLE_EQ(range.bound, 800.0);
    HighPassCoefficients unstable;
    unstable.a = {-3.0, 3.0, -1.0};
    EXPECT_THROW(qzkit::HighPassOutputRange(unstable, 100.0), qzkit::ToolkitError);
}

// The responses the design reports are what the library's stages do.
class DesignedStages : public ::testing::Test {
protected:
    void SetUp() override
    {
        qztest::ResetState();
        design_ = qzkit::DesignConstants(qzkit::DesignRequest{});
        HeartSampling = qzkit::ToSamplingRecord(design_.image);
    }

    static std::vector<UINT16> Sinusoid(double frequency, double amplitude)
    {
        std::vector<UINT16> samples(1500);
        for (std::size_t n = 0; n < samples.size(); ++n) {
            const double phase = 2.0 * std::numbers::pi * frequency / kRate * static_cast<double>(n);
            samples[n] = static_cast<UINT16>(std::lround(512.0 + amplitude * std::sin(phase)));
        }
        return samples;
    }

    // Largest distance from `centre` after the first `settle` samples.
    static double Excursion(const std::vector<UINT16> &samples, double centre, std::size_t settle)
    {
        double largest = 0.0;
        for (std::size_t n = settle; n < samples.size(); ++n) {
            largest = std::max(largest, std::fabs(samples[n] - centre));
        }
        return largest;
    }

    qzkit::ConstantsDesign design_;
};

TEST_F(DesignedStages, LowPassScalesAndAttenuatesAsReported)
{
    for (const double frequency : {2.0, 10.0, 20.0, 30.0}) {
        qztest::PackedBuffer buffer(Sinusoid(frequency, 200.0));
        const UINT16 median = 512;
        UINT16 amplitude = 200;
        LowPassFilter(buffer.data(), &median, &amplitude);
        const double expected = qzkit::LowPassSwing(design_.taps, design_.postscale, 200) *
                                std::fabs(qzkit::LowPassRelativeGain(design_.taps, frequency, kRate));
        EXPECT_NEAR(Excursion(buffer.unpack(), 512.0, 16), expected, 0.02 * expected + 2.0) << frequency << " Hz";
    }
}

TEST_F(DesignedStages, HighPassOfEitherOrderAttenuatesAsReported)
{
    for (const int order : {3, 1}) {
        qzkit::DesignRequest request;
        request.highPassOrder = order;
        request.highPassCutoff = order == 3 ? 5.0 : 1.0;
        const qzkit::ConstantsDesign design = qzkit::DesignConstants(request);
        HeartSampling = qzkit::ToSamplingRecord(design.image);
        for (const double frequency : {0.5, 2.0, 5.0, 10.0, 40.0}) {
            qztest::PackedBuffer buffer(Sinusoid(frequency, 100.0));
            const UINT16 unused = 0;
            HighPassFilter(buffer.data(), &unused, &unused);
            const double expected =
                100.0 * std::abs(qzkit::HighPassResponse(design.highPass.coefficients, frequency, kRate));
            EXPECT_NEAR(Excursion(buffer.unpack(), 500.0, 1000), expected, 0.02 * expected + 2.0)
                << "order " << order << ", " << frequency << " Hz";
        }
    }
}

}  // namespace
