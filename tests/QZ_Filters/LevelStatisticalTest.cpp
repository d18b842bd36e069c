#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "QZ_Filters.h"
#include "QZ_Library_Configuration.h"
#include "TestBuffers.h"

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

TEST_F(LevelBasedTest, SortsPeaksIntoHighMiddleAndLow)
{
    SetPeaks({100, 70, 50, 20}, {100, 300, 500, 700});
    EXPECT_EQ(LevelBased(), 200);
    EXPECT_EQ(tm2.HighPeakThreshold, 66);
    EXPECT_EQ(tm2.LowPeakThreshold, 30);
    EXPECT_EQ(tm2.HighBucket, 0b0011u);
    EXPECT_EQ(tm2.MiddleBucket, 0b0100u);
    EXPECT_EQ(tm2.LowBucket, 0b1000u);
    EXPECT_EQ(tm2.QI, QI_PATTERN_2);
    EXPECT_EQ(Peaks, 2);  // the high peaks, not the detected ones
}

TEST_F(LevelBasedTest, CrossedThresholdsMakeEveryPeakHigh)
{
    SetPeaks({100, 50, 80}, {100, 301, 503});
    EXPECT_EQ(LevelBased(), 201);  // (503 - 100) / 2
    EXPECT_EQ(tm2.HighPeakThreshold, 50);
    EXPECT_EQ(tm2.LowPeakThreshold, 50);
    EXPECT_EQ(tm2.HighBucket, 0b111u);
    EXPECT_EQ(tm2.QI, QI_PATTERN_1);
    EXPECT_EQ(Peaks, 3);
}

TEST_F(LevelBasedTest, ThresholdValuesThemselvesAreHighAndLow)
{
    SetPeaks({100, 66, 30, 20}, {100, 200, 300, 400});
    LevelBased();
    EXPECT_EQ(tm2.HighBucket, 0b0011u);
    EXPECT_EQ(tm2.LowBucket, 0b1100u);
    EXPECT_EQ(tm2.MiddleBucket, 0u);
    EXPECT_EQ(tm2.QI, QI_PATTERN_1);
}

TEST_F(LevelBasedTest, OneHighPeakLeftIsQI3WithoutInterval)
{
    SetPeaks({100, 44}, {100, 300});  // thresholds 66 and 66: the 44 is low
    EXPECT_EQ(LevelBased(), 0);
    EXPECT_EQ(tm2.QI, QI_PATTERN_3);
    EXPECT_EQ(Peaks, 1);

    SetPeaks({100, 45}, {100, 300});  // 66 < 67: both collapse to 45
    EXPECT_EQ(LevelBased(), 200);
    EXPECT_EQ(tm2.HighPeakThreshold, 45);
    EXPECT_EQ(tm2.QI, QI_PATTERN_1);
}

TEST_F(LevelBasedTest, AveragesFromFirstToLastHighPeakAndLogsEach)
{
    SetPeaks({10, 100, 30, 100, 100}, {50, 100, 200, 300, 400});
    LogLevel = 4;
    testing::internal::CaptureStdout();
    EXPECT_EQ(LevelBased(), 150);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Calculating.. High Peak 1 is detected peak 2 at location 100\n"
              "Calculating.. High Peak 2 is detected peak 4 at location 300\n"
              "Calculating.. High Peak 3 is detected peak 5 at location 400\n");
    EXPECT_EQ(Peaks, 3);

    LogLevel = 3;
    SetPeaks({10, 100, 30, 100, 100}, {50, 100, 200, 300, 400});
    testing::internal::CaptureStdout();
    LevelBased();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

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
    ::testing::Values(StatisticalCase{101, 10000, 0, QI_PATTERN_3}, StatisticalCase{100, 10000, 200, QI_PATTERN_2},
                      StatisticalCase{10, 7000, 200, QI_PATTERN_0}, StatisticalCase{10, 15000, 200, QI_PATTERN_0},
                      StatisticalCase{10, 6999, 200, QI_PATTERN_3}, StatisticalCase{10, 15001, 200, QI_PATTERN_3},
                      StatisticalCase{31, 10000, 200, QI_PATTERN_2}, StatisticalCase{30, 10000, 200, QI_PATTERN_1},
                      StatisticalCase{11, 10000, 200, QI_PATTERN_1}, StatisticalCase{0, 10000, 200, QI_PATTERN_0}));

TEST_F(StatisticalTest, AverageIntervalTruncates)
{
    SetPeaks({100, 100, 100}, {0, 40, 101});
    tm2.Tegur = 3000;
    EXPECT_EQ(Statistical(), 50);
}

}  // namespace
