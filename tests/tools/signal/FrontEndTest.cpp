// The 10-bit mapping of a device front end, and the cutting into windows.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "signal/FrontEnd.h"
#include "ToolkitError.h"

namespace {

using qzkit::FrontEndOptions;
using qzkit::MapToTenBits;

TEST(FrontEnd, MapsRoundsAndClipsToTenBits)
{
    struct Case {
        double millivolts;
        std::uint16_t counts;
    };
    // 200 counts per mV around 512.
    const std::vector<Case> cases{{0.0, 512},    {1.0, 712},    {-1.0, 312}, {0.25, 562}, {-2.56, 0},
                                  {2.555, 1023}, {2.56, 1023}, {-2.6, 0},   {100.0, 1023}, {-100.0, 0}};
    std::vector<double> signal;
    for (const Case &c : cases) signal.push_back(c.millivolts);
    const auto result = MapToTenBits(signal, 250.0, FrontEndOptions{});
    ASSERT_EQ(result.samples.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(result.samples[i], cases[i].counts) << cases[i].millivolts << " mV";
    }
    EXPECT_EQ(result.clippedLow, 2u);   // -2.6 and -100; -2.56 maps to 0 itself
    EXPECT_EQ(result.clippedHigh, 2u);  // 2.56 (1024) and 100; 2.555 maps to 1023 itself
    EXPECT_DOUBLE_EQ(result.ClippedFraction(), 0.4);
}

TEST(FrontEnd, RoundsHalfCountsAwayFromTheCentre)
{
    FrontEndOptions options;
    options.countsPerUnit = 1.0;
    const auto result = MapToTenBits({0.5, -0.5, 0.49, -0.49, 1.5}, 250.0, options);
    EXPECT_EQ(result.samples, (std::vector<std::uint16_t>{513, 512, 512, 512, 514}));
}

TEST(FrontEnd, GainAndCentreAreApplied)
{
    FrontEndOptions options;
    options.countsPerUnit = 0.5;  // e.g. counts per uV
    options.centre = 300.0;
    const auto result = MapToTenBits({0.0, 100.0, -700.0, 2000.0}, 360.0, options);
    EXPECT_EQ(result.samples, (std::vector<std::uint16_t>{300, 350, 0, 1023}));
    EXPECT_DOUBLE_EQ(result.ClippedFraction(), 0.5);
}

TEST(FrontEnd, AcCouplingRemovesTheOffsetWithoutRingingIn)
{
    FrontEndOptions options;
    options.acCouplingHz = 0.5;
    const double rate = 250.0;
    // A 5 mV offset (beyond the 10-bit range when DC-coupled) with a 10 Hz, 1 mV sine on top.
    std::vector<double> signal(2500);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        signal[i] = 5.0 + std::sin(2.0 * std::numbers::pi * 10.0 * static_cast<double>(i) / rate);
    }
    const auto coupled = MapToTenBits(signal, rate, options);
    EXPECT_EQ(coupled.samples.front(), 512) << "starts settled on the first sample";
    EXPECT_EQ(coupled.clippedLow + coupled.clippedHigh, 0u);
    const auto [low, high] = std::minmax_element(coupled.samples.begin() + 1250, coupled.samples.end());
    EXPECT_NEAR((*low + *high) / 2.0, 512.0, 4.0);
    EXPECT_NEAR(*high - *low, 400.0, 8.0) << "10 Hz passes a 0.5 Hz corner";

    const auto direct = MapToTenBits(signal, rate, FrontEndOptions{});
    EXPECT_EQ(direct.clippedHigh, signal.size()) << "DC-coupled, 5 mV is beyond the range";
}

TEST(FrontEnd, AcCouplingStepDecaysWithItsTimeConstant)
{
    FrontEndOptions options;
    options.acCouplingHz = 1.0;
    options.countsPerUnit = 100.0;
    std::vector<double> step(500, 0.0);
    std::fill(step.begin() + 100, step.end(), 1.0);
    const auto result = MapToTenBits(step, 250.0, options);
    // The step passes whole, then decays with the time constant 1 / (2 pi) s,
    // about 40 samples; the discrete filter lags the analog one by a sample.
    const double samplesPerTimeConstant = 250.0 / (2.0 * std::numbers::pi);
    EXPECT_NEAR(result.samples[99], 512, 0);
    EXPECT_NEAR(result.samples[100], 612, 3);
    EXPECT_NEAR(result.samples[140], 512 + 100 * std::exp(-40.0 / samplesPerTimeConstant), 3);
    EXPECT_NEAR(result.samples[300], 512 + 100 * std::exp(-200.0 / samplesPerTimeConstant), 3);
}

TEST(FrontEnd, RejectsBadSettings)
{
    FrontEndOptions nyquist;
    nyquist.acCouplingHz = 125.0;
    FrontEndOptions negative;
    negative.acCouplingHz = -1.0;
    FrontEndOptions infiniteGain;
    infiniteGain.countsPerUnit = INFINITY;
    for (const FrontEndOptions &options : {nyquist, negative, infiniteGain}) {
        EXPECT_THROW(MapToTenBits({0.0}, 250.0, options), qzkit::ToolkitError);
    }
    EXPECT_THROW(MapToTenBits({0.0}, 0.0, FrontEndOptions{}), qzkit::ToolkitError);
}

TEST(Windows, WholeWindowsAtEachStep)
{
    struct Case {
        std::size_t total, length, step;
        std::vector<std::size_t> starts;
    };
    const std::vector<Case> cases{{4500, 1500, 1500, {0, 1500, 3000}},
                                  {4499, 1500, 1500, {0, 1500}},
                                  {4500, 1500, 750, {0, 750, 1500, 2250, 3000}},
                                  {1499, 1500, 1500, {}},
                                  {1500, 1500, 1, {0}},
                                  {1300, 600, 700, {0, 700}}};
    for (const Case &c : cases) {
        std::vector<std::size_t> starts;
        for (const auto &window : qzkit::CutWindows(c.total, c.length, c.step)) {
            EXPECT_EQ(window.length, c.length);
            starts.push_back(window.start);
        }
        EXPECT_EQ(starts, c.starts) << c.total << " " << c.length << " " << c.step;
    }
    EXPECT_THROW(qzkit::CutWindows(4500, 1500, 0), qzkit::ToolkitError);
    EXPECT_THROW(qzkit::CutWindows(4500, 0, 10), qzkit::ToolkitError);
}

}  // namespace
