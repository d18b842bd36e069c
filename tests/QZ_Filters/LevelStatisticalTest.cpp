// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "TestBuffers.h"

using namespace qz;

namespace {

// Peak heights and locations as GetBPM leaves them for the methods:
// tm2.MaxPeak and tm2.MinPeak are the extremes of the heights.
class ClassificationMethodTest : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }

    void SetPeaks(const std::vector<UINT16> &heights, const std::vector<UINT16> &locs)
    {
        tm2.MaxPeak = 0;
        tm2.MinPeak = 1024;
        for (std::size_t k = 0; k < heights.size(); ++k) {
            PeakValues[k] = heights[k];
            locations[k] = locs[k];
            tm2.MaxPeak = std::max(tm2.MaxPeak, heights[k]);
            tm2.MinPeak = std::min(tm2.MinPeak, heights[k]);
        }
        Peaks = static_cast<BYTE>(heights.size());
    }

    UINT16 LevelBased() { return BPM_Method_LevelBasedThrowout(locations, &Peaks); }
    UINT16 Statistical() { return BPM_Method_Statistical(locations, &Peaks); }

    UINT16 locations[QZ_MAX_PEAKS] = {};
    BYTE Peaks = 0;
};

using LevelBasedTest = ClassificationMethodTest;

struct LevelCase {
    std::vector<UINT16> heights, locs;
    UINT16 interval, high, low;  // returned interval, both thresholds
    UINT32 highBucket, middleBucket, lowBucket;
    UINT16 qi;
    BYTE peaksLeft;
};

class LevelBasedCaseTest : public ClassificationMethodTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LevelBasedCaseTest, SortsByHeightAndAveragesTheHighPeaks)
{
    const LevelCase &c = GetParam();
    SetPeaks(c.heights, c.locs);
    EXPECT_EQ(LevelBased(), c.interval);
    EXPECT_EQ(tm2.HighPeakThreshold, c.high);
    EXPECT_EQ(tm2.LowPeakThreshold, c.low);
    EXPECT_EQ(tm2.HighBucket, c.highBucket);
    EXPECT_EQ(tm2.MiddleBucket, c.middleBucket);
    EXPECT_EQ(tm2.LowBucket, c.lowBucket);
    EXPECT_EQ(tm2.QI, c.qi);
    EXPECT_EQ(Peaks, c.peaksLeft);  // the high peaks, not the detected ones
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LevelBasedCaseTest,
    ::testing::Values(
        LevelCase{{100, 70, 50, 20}, {100, 300, 500, 700}, 200, 66, 30, 0b0011, 0b0100, 0b1000, QZ_QI_PATTERN_2, 2},
        // Thresholds 66 and 75 cross: both collapse to the smallest height.
        LevelCase{{100, 50, 80}, {100, 301, 503}, 201, 50, 50, 0b111, 0, 0, QZ_QI_PATTERN_1, 3},
        // The threshold values themselves are high and low.
        LevelCase{{100, 66, 30, 20}, {100, 200, 300, 400}, 100, 66, 30, 0b0011, 0, 0b1100, QZ_QI_PATTERN_1, 2},
        // One high peak left: QI 3 without an interval.
        LevelCase{{100, 44}, {100, 300}, 0, 66, 66, 0b01, 0, 0b10, QZ_QI_PATTERN_3, 1},
        LevelCase{{100, 45}, {100, 300}, 200, 45, 45, 0b11, 0, 0, QZ_QI_PATTERN_1, 2},
        // From the first to the last high peak: (400 - 100) / 2.
        LevelCase{{10, 100, 30, 100, 100}, {50, 100, 200, 300, 400}, 150, 66, 15, 0b11010, 0b00100, 0b00001,
                  QZ_QI_PATTERN_2, 3}));

TEST_F(LevelBasedTest, UsesAllTwentyFiveBits)
{
    std::vector<UINT16> heights(QZ_MAX_PEAKS, 100);
    std::vector<UINT16> locs;
    for (UINT16 k = 0; k < QZ_MAX_PEAKS; ++k) {
        locs.push_back(static_cast<UINT16>(10 + 60 * k));
    }
    heights[0] = 20;
    SetPeaks(heights, locs);
    EXPECT_EQ(LevelBased(), 60);
    EXPECT_EQ(tm2.HighBucket, 0x1FFFFFEu);
    EXPECT_EQ(Peaks, 24);
}

using StatisticalTest = ClassificationMethodTest;

struct StatisticalCase {
    UINT16 median;
    UINT32 tegur;
    UINT16 expectedInterval;
    UINT16 expectedQI;
};

class StatisticalGradeTest : public ClassificationMethodTest, public ::testing::WithParamInterface<StatisticalCase> {};

TEST_P(StatisticalGradeTest, GradesByMedianAndSignalSum)
{
    const StatisticalCase c = GetParam();
    SetPeaks({200, 150, 180, 190, 120}, {100, 300, 500, 700, 900});  // MaxPeak 200, 5 peaks
    tm2.Median = c.median;
    tm2.Tegur = c.tegur;
    EXPECT_EQ(Statistical(), c.expectedInterval);
    EXPECT_EQ(tm2.QI, c.expectedQI);
    EXPECT_EQ(Peaks, 5);
}

// Plausible sums are 7000..15000 inclusive; the median grades them.
INSTANTIATE_TEST_SUITE_P(
    Cases, StatisticalGradeTest,
    ::testing::Values(StatisticalCase{101, 10000, 0, QZ_QI_PATTERN_3}, StatisticalCase{100, 10000, 200, QZ_QI_PATTERN_2},
                      StatisticalCase{10, 7000, 200, QZ_QI_PATTERN_0}, StatisticalCase{10, 15000, 200, QZ_QI_PATTERN_0},
                      StatisticalCase{10, 6999, 200, QZ_QI_PATTERN_3}, StatisticalCase{10, 15001, 200, QZ_QI_PATTERN_3},
                      StatisticalCase{31, 10000, 200, QZ_QI_PATTERN_2}, StatisticalCase{30, 10000, 200, QZ_QI_PATTERN_1},
                      StatisticalCase{11, 10000, 200, QZ_QI_PATTERN_1}, StatisticalCase{0, 10000, 200, QZ_QI_PATTERN_0}));

TEST_F(StatisticalTest, AverageIntervalTruncates)
{
    SetPeaks({100, 100, 100}, {0, 40, 101});
    tm2.Tegur = 3000;
    EXPECT_EQ(Statistical(), 50);
}

}  // namespace
