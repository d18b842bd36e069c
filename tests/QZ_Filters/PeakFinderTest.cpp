#include <gtest/gtest.h>

#include <vector>

#include "QZ_Filters.h"
#include "TestBuffers.h"

namespace {

constexpr UINT16 kRecord = 1500;

// A zero baseline of `count` samples with `values` written from `start` on.
std::vector<UINT16> Signal(std::vector<UINT16> values, std::size_t start, std::size_t count = kRecord,
                           UINT16 fill = 0)
{
    std::vector<UINT16> samples(count, fill);
    for (std::size_t k = 0; k < values.size(); ++k) {
        samples[start + k] = values[k];
    }
    return samples;
}

class PeakFinderTest : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }

    BYTE Find(const std::vector<UINT16> &samples, UINT16 threshold, bool variableThreshold = false)
    {
        qztest::PackedBuffer buffer(samples);
        Filter.set(FilterBits::VariablePeakThreshold, variableThreshold ? 1u : 0u);
        range = threshold;
        return FindPeaks(buffer.data(), &range, locations);
    }

    UINT16 range = 0;
    UINT16 locations[QZ_MAX_PEAKS] = {};
};

TEST_F(PeakFinderTest, ZerosGiveNoPeaksAndClearBothTables)
{
    for (unsigned k = 0; k < QZ_MAX_PEAKS; ++k) {
        locations[k] = 77;
        PeakValues[k] = 88;
    }
    EXPECT_EQ(Find(std::vector<UINT16>(kRecord, 0), 20), 0);
    for (unsigned k = 0; k < QZ_MAX_PEAKS; ++k) {
        EXPECT_EQ(locations[k], 0) << k;
        EXPECT_EQ(PeakValues[k], 0) << k;
    }
}

TEST_F(PeakFinderTest, SingleHumpOpensAtThresholdAboveBaselineAndClosesNearZero)
{
    // The 10 stands only 10 above the baseline 0; the 30 opens the peak.
    EXPECT_EQ(Find(Signal({10, 30, 60, 100, 60, 30, 5, 0}, 47), 20), 1);
    EXPECT_EQ(locations[0], 51);
    EXPECT_EQ(PeakValues[0], 100);
    EXPECT_EQ(locations[1], 0);
    EXPECT_EQ(Filter.get(FilterBits::Searching), 1);
}

TEST_F(PeakFinderTest, HumpClosesOnlyWhenItFallsToSeven)
{
    for (const UINT16 level : std::vector<UINT16>{7, 8}) {
        std::vector<UINT16> samples = Signal({10, 30, 60, 100, 60, 30}, 47, kRecord, level);
        for (std::size_t n = 0; n < 47; ++n) {
            samples[n] = 0;
        }
        const bool closes = level == 7;
        EXPECT_EQ(Find(samples, 20), closes ? 1 : 0) << level;
        EXPECT_EQ(locations[0], 51);
        EXPECT_EQ(PeakValues[0], 100);
        EXPECT_EQ(Filter.get(FilterBits::Searching), closes ? 1 : 0);
    }
}

TEST_F(PeakFinderTest, RiseBelowTheBaselineNeitherOpensNorLowersIt)
{
    // The search base is 8: rising samples below it never open a peak and
    // never pull the base down, so the 25 stands only 17 above it.
    EXPECT_EQ(Find(Signal({3, 5, 6, 25}, 0), 20), 0);
    EXPECT_EQ(locations[0], 0);
}

struct OpenPeakCase {
    UINT16 sampleCount;
    UINT16 topLocation;  // one-based
    BYTE expectedCount;
};

class OpenPeakAtEndTest : public PeakFinderTest, public ::testing::WithParamInterface<OpenPeakCase> {};

TEST_P(OpenPeakAtEndTest, CountedOnlyWhenTopIsWithinFourteenOfTheEnd)
{
    const OpenPeakCase c = GetParam();
    // Rise to 100 at the top, then stay at 50 (never closing) to the end.
    std::vector<UINT16> samples(c.sampleCount, 0);
    const std::size_t top = c.topLocation - 1u;
    samples[top - 2] = 30;
    samples[top - 1] = 60;
    samples[top] = 100;
    for (std::size_t n = top + 1; n < c.sampleCount; ++n) {
        samples[n] = 50;
    }
    EXPECT_EQ(Find(samples, 20), c.expectedCount);
    EXPECT_EQ(locations[0], c.topLocation);
    EXPECT_EQ(PeakValues[0], 100);
}

INSTANTIATE_TEST_SUITE_P(Boundary, OpenPeakAtEndTest,
                         ::testing::Values(OpenPeakCase{1500, 1486, 1}, OpenPeakCase{1500, 1485, 0},
                                           OpenPeakCase{1500, 1500, 1}, OpenPeakCase{600, 586, 1},
                                           OpenPeakCase{600, 585, 0}));

TEST_F(PeakFinderTest, VariableThresholdNeverCountsAnOpenPeakAtTheEnd)
{
    std::vector<UINT16> samples(kRecord, 50);
    samples[0] = 0;
    samples[1] = 0;
    samples[kRecord - 1] = 100;
    EXPECT_EQ(Find(samples, 20, true), 0);
    EXPECT_EQ(locations[0], kRecord);
}

TEST_F(PeakFinderTest, FlatTopRecordsItsFirstSample)
{
    EXPECT_EQ(Find(Signal({30, 100, 100, 100, 30, 0}, 200), 20), 1);
    EXPECT_EQ(locations[0], 202);
    EXPECT_EQ(PeakValues[0], 100);
}

TEST_F(PeakFinderTest, VariableThresholdOpensOnTheFirstSampleAndClosesOnAFallOfTheThreshold)
{
    // bottom starts at 100 - 20 = 80, so the rising start opens at sample 0.
    EXPECT_EQ(Find(Signal({100, 101}, 0, kRecord, 81), 20, true), 1);
    EXPECT_EQ(locations[0], 2);
    EXPECT_EQ(PeakValues[0], 101);
    EXPECT_EQ(locations[1], 0);
}

TEST_F(PeakFinderTest, VariableThresholdMeasuresTheNextRiseFromWhereThePeakClosed)
{
    // Closes at 600 (100 below the top 700); the base follows the fall to
    // 520, so the 600 after it (80 up) opens nothing, and the 610 that
    // stands 110 above the next low opens the second peak, far above 7.
    const std::vector<UINT16> samples =
        Signal({500, 500, 600, 700, 650, 600, 550, 520, 600, 500, 610}, 0, kRecord, 610);
    EXPECT_EQ(Find(samples, 100, true), 1);
    EXPECT_EQ(locations[0], 4);
    EXPECT_EQ(PeakValues[0], 700);
    EXPECT_EQ(locations[1], 11);
    EXPECT_EQ(PeakValues[1], 610);
    EXPECT_EQ(locations[2], 0);
}

struct FirstBaseCase {
    UINT16 first;
    UINT16 second;
    BYTE expectedCount;
};

class VariableFirstBaseTest : public PeakFinderTest, public ::testing::WithParamInterface<FirstBaseCase> {};

// The first base is sample 0 minus the threshold (20) when sample 0 exceeds
// it, otherwise sample 0 itself.
TEST_P(VariableFirstBaseTest, OpensOnlyAThresholdAboveTheFirstBase)
{
    const FirstBaseCase c = GetParam();
    EXPECT_EQ(Find(Signal({c.first, c.second, 0}, 0), 20, true), c.expectedCount);
}

INSTANTIATE_TEST_SUITE_P(Cases, VariableFirstBaseTest,
                         ::testing::Values(FirstBaseCase{15, 35, 1}, FirstBaseCase{15, 34, 0},
                                           FirstBaseCase{20, 40, 1}, FirstBaseCase{20, 39, 0},
                                           FirstBaseCase{21, 22, 1}));

TEST_F(PeakFinderTest, PeaksBeyondTheTwentyFifthAreCountedButNotStored)
{
    std::vector<UINT16> samples(kRecord, 0);
    for (UINT16 hump = 0; hump < 30; ++hump) {
        samples[40u * hump + 10u] = static_cast<UINT16>(100u + hump);
    }
    EXPECT_EQ(Find(samples, 20), 30);
    EXPECT_EQ(locations[0], 11);
    EXPECT_EQ(locations[24], 40 * 24 + 11);
    EXPECT_EQ(PeakValues[24], 124);
}

TEST_F(PeakFinderTest, CountSaturatesAt255)
{
    std::vector<UINT16> samples(kRecord, 0);
    for (std::size_t n = 1; n < kRecord; n += 2) {
        samples[n] = 50;
    }
    EXPECT_EQ(Find(samples, 20), 255);
}

TEST_F(PeakFinderTest, TouchesOnlyTheSearchingAndRisingBits)
{
    Filter.set(FilterBits::InPeak, 1);
    Filter.set(FilterBits::UseTemplateMatch, 1);
    Filter.set(FilterBits::ConfidenceLevel, 2);
    Filter.set(FilterBits::BeatClassifyingMethod, 5);
    Filter.set(FilterBits::DerivativeOrder, 2);
    const UINT16 searchingAndRising = 0x0006;
    const UINT16 before = static_cast<UINT16>(Filter.Filter | 0x0100);  // with the variable threshold
    Find(Signal({30, 100, 30, 0}, 100), 20, true);
    EXPECT_EQ(Filter.Filter & ~searchingAndRising, before & ~searchingAndRising);
}

}  // namespace
