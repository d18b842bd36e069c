#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "QZ_Filters.h"
#include "QZ_Library_Configuration.h"
#include "TestBuffers.h"
#include "ToolRunner.h"

namespace {

constexpr float kPeriod128 = 1.0f / 128.0f;  // exact: rate = 7680 / interval
constexpr UINT16 kQI3 = 0xC00;

std::size_t Occurrences(const std::string &text, const std::string &what)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// ---- IntervalToBPM ----

struct RateCase {
    const char *name;
    float period;
    UINT16 minBPM;
    UINT16 maxBPM;
    UINT16 interval;
    UINT16 expectedWord;
    bool expectedBad;
};

class IntervalToBPMTest : public ::testing::TestWithParam<RateCase> {
protected:
    void SetUp() override { qztest::ResetState(); }
};

TEST_P(IntervalToBPMTest, ConvertsClampsAndGrades)
{
    const RateCase c = GetParam();
    HeartSampling.Period = c.period;
    HeartSampling.MinBPM = c.minBPM;
    HeartSampling.MaxBPM = c.maxBPM;
    UINT16 bpm = 0;
    IntervalToBPM(&c.interval, &bpm, QI_PATTERN_1);
    EXPECT_EQ(bpm, c.expectedWord);
    EXPECT_EQ(Filter.isSet(FilterBits::BadMeasurement), c.expectedBad);
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kTiny = std::ldexp(1.0f, -16);

INSTANTIATE_TEST_SUITE_P(
    Rates, IntervalToBPMTest,
    ::testing::Values(RateCase{"AtMaxAccepted", kPeriod128, 60, 120, 64, 120 | 0x400, false},
                      RateCase{"AtMinAccepted", kPeriod128, 60, 120, 128, 60 | 0x400, false},
                      RateCase{"BelowMinKeepsRate", kPeriod128, 60, 120, 130, 59 | kQI3, true},
                      RateCase{"AboveMaxKeepsRate", kPeriod128, 60, 120, 63, 121 | kQI3, true},
                      RateCase{"MinAboveMaxRejectsAll", kPeriod128, 200, 100, 64, 120 | kQI3, true},
                      RateCase{"ClampedTo1023Accepted", kPeriod128, 0, 1023, 5, 1023 | 0x400, false},
                      RateCase{"ClampedTo1023Rejected", kPeriod128, 30, 240, 5, 1023 | kQI3, true},
                      RateCase{"TruncatesNearest004To124", 0.004f, 30, 240, 120, 124 | 0x400, false},
                      // A zero period gives an infinite rate: it saturates
                      // instead of reading as BPM 0.
                      RateCase{"InfiniteRateSaturates", 0.0f, 0, 1023, 10, 1023 | 0x400, false},
                      RateCase{"InfiniteRateRejected", 0.0f, 30, 240, 10, 1023 | kQI3, true},
                      // 3932160 would wrap to exactly 0 modulo 65536.
                      RateCase{"HugeRateSaturates", kTiny, 0, 1023, 1, 1023 | 0x400, false},
                      RateCase{"NegativeRateSaturates", -kPeriod128, 0, 1023, 64, 1023 | 0x400, false},
                      RateCase{"NaNRateSaturates", kNaN, 0, 1023, 64, 1023 | 0x400, false},
                      // Exactly 65536 saturates; just below it truncates to 65535.
                      RateCase{"RateOf65536Saturates", 60.0f / 65536.0f, 0, 1023, 1, 1023 | 0x400, false},
                      // -0.6 truncates to 0, which lies inside 0..65535.
                      RateCase{"RateAboveMinusOneTruncatesToZero", -100.0f, 0, 1023, 1, 0 | 0x400, false}),
    [](const ::testing::TestParamInfo<RateCase> &param) { return std::string(param.param.name); });

// ---- GetBPM ----

// Runs each test in a fresh directory, since GetBPM always writes
// "thresholdmethod.info" into the working directory.
class GetBPMTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qztest::ResetState();
        CalcHeart_BufferLength = 1875;
        CalcHeart_SampleCount = 1500;
        HeartSampling.Period = kPeriod128;
        HeartSampling.MinBPM = 30;
        HeartSampling.MaxBPM = 240;
        HeartSampling.OnePerMinute = 72;
        CalcHeart_BufferMedian = 5;
        Tegrun = 70000;
        Filter.set(FilterBits::BeatClassifyingMethod, 3);
    }

    // Peaks at `locs` with heights `heights` (100 each by default); the count
    // passed in is `count` (the number of locations by default).
    UINT16 Run(const std::vector<UINT16> &locs, std::vector<UINT16> heights = {}, int count = -1)
    {
        heights.resize(locs.size(), 100);
        for (std::size_t k = 0; k < QZ_MAX_PEAKS; ++k) {
            locations[k] = k < locs.size() ? locs[k] : 0;
            PeakValues[k] = k < heights.size() ? heights[k] : 0;
        }
        Peaks = static_cast<BYTE>(count < 0 ? static_cast<int>(locs.size()) : count);
        UINT16 bpm = 0xFFFF;
        GetBPM(buffer.data(), locations, &bpm, &min, &Peaks);
        return bpm;
    }

    // Runs at LogLevel 3 and returns what was printed.
    std::string RunLogged(const std::vector<UINT16> &locs, std::vector<UINT16> heights = {})
    {
        LogLevel = 3;
        testing::internal::CaptureStdout();
        result = Run(locs, std::move(heights));
        return testing::internal::GetCapturedStdout();
    }

    static std::vector<BYTE> Dump() { return qztest::ReadBytes("thresholdmethod.info"); }

    static std::vector<BYTE> Image(const new_tm_struct &record)
    {
        std::vector<BYTE> bytes(sizeof record);
        std::memcpy(bytes.data(), &record, sizeof record);
        return bytes;
    }

    static bool Flag(FilterField field) { return Filter.isSet(field); }

    qztest::PackedBuffer buffer{std::vector<UINT16>(1500, 0)};
    qztest::TempDir dir;
    qztest::ScopedCwd cwd{dir.path()};
    UINT16 locations[QZ_MAX_PEAKS] = {};
    UINT16 min = 0;
    BYTE Peaks = 0;
    UINT16 result = 0;
};

TEST_F(GetBPMTest, NoPeaksIsABadMeasurementDumpedOnce)
{
    const std::string log = RunLogged({});
    EXPECT_EQ(result, 3072);
    EXPECT_TRUE(Flag(FilterBits::BadMeasurement));
    EXPECT_FALSE(Flag(FilterBits::UseTemplateMatch));
    EXPECT_EQ(Occurrences(log, "thresholdmethod.info"), 1u);
    EXPECT_EQ(Occurrences(log, "Found no peaks"), 0u);

    new_tm_struct expected{};
    expected.Median = 5;
    expected.Tegur = 70000;
    EXPECT_EQ(Dump(), Image(expected));
}

TEST_F(GetBPMTest, OnePeakReportsOnePerMinuteWithQI3WhateverTheLimits)
{
    HeartSampling.OnePerMinute = 250;  // above MaxBPM: no limits are applied
    const std::string log = RunLogged({700}, {321});
    EXPECT_EQ(result, 250 + 3072);
    EXPECT_TRUE(Flag(FilterBits::BadMeasurement));
    EXPECT_EQ(Occurrences(log, "thresholdmethod.info"), 1u);
    EXPECT_EQ(tm2.MaxPeak, 321);
    EXPECT_EQ(tm2.MinPeak, 321);
}

TEST_F(GetBPMTest, MoreThan25PeaksUseTheFirst25)
{
    std::vector<UINT16> locs;
    for (UINT16 k = 0; k < QZ_MAX_PEAKS; ++k) {
        locs.push_back(static_cast<UINT16>(100 + 50 * k));
    }
    std::vector<UINT16> heights(QZ_MAX_PEAKS, 200);
    heights[24] = 900;
    heights[3] = 150;
    EXPECT_EQ(Run(locs, heights, 30), 153);  // 7680 / 50 = 153.6
    EXPECT_EQ(Peaks, 25);
    EXPECT_EQ(Peak[23].Interval, 50);
    EXPECT_EQ(min, 50);
    EXPECT_EQ(tm2.MaxPeak, 900);
    EXPECT_EQ(tm2.MinPeak, 150);
}

TEST_F(GetBPMTest, PeaksAtTheSameLocationSpanTheWholeRecord)
{
    EXPECT_EQ(Run({1000, 1000}), 5 | kQI3);  // 7680 / 1499 = 5.1, below MinBPM
    EXPECT_EQ(Peak[0].Interval, 1499);
    EXPECT_TRUE(Flag(FilterBits::BadMeasurement));
}

struct TwoPeakCase {
    UINT16 first;
    UINT16 second;
    bool classified;
    UINT16 expectedWord;  // when the single interval is used
};

class TwoPeakTailTest : public GetBPMTest, public ::testing::WithParamInterface<TwoPeakCase> {};

TEST_P(TwoPeakTailTest, SingleIntervalUnlessMoreThan1Point2IntervalsRemain)
{
    const TwoPeakCase c = GetParam();
    const UINT16 word = Run({c.first, c.second});
    EXPECT_EQ(min, 1500 - c.second);
    EXPECT_EQ(Flag(FilterBits::UseTemplateMatch), c.classified);
    if (!c.classified) {
        EXPECT_EQ(word, c.expectedWord);
    }
}

// Interval 50: 1.2f x 50 lies just above 60. Interval 55: 1.2f x 55 is
// exactly 66 in single precision, and a tail of exactly that is not more.
INSTANTIATE_TEST_SUITE_P(Boundary, TwoPeakTailTest,
                         ::testing::Values(TwoPeakCase{1390, 1440, false, 153}, TwoPeakCase{1389, 1439, true, 0},
                                           TwoPeakCase{1440, 1490, false, 153}, TwoPeakCase{1379, 1434, false, 139},
                                           TwoPeakCase{1378, 1433, true, 0}));

TEST_F(GetBPMTest, RegularityBoundaryIsExactlyFourFifths)
{
    EXPECT_EQ(Run({100, 140, 190}), 170);  // 40 / 50 in float lies just above 0.8: average 45
    EXPECT_FALSE(Flag(FilterBits::UseTemplateMatch));
    EXPECT_EQ(min, 45);

    Run({100, 139, 189});  // 39 / 50
    EXPECT_TRUE(Flag(FilterBits::UseTemplateMatch));
}

TEST_F(GetBPMTest, AverageIntervalUsesOnlyFirstAndLastAndTruncates)
{
    const std::string log = RunLogged({10, 52, 100});
    EXPECT_EQ(min, 45);
    EXPECT_EQ(Occurrences(log, "More than 3 peaks, using average interval\n"), 1u);
    EXPECT_EQ(Occurrences(log, "thresholdmethod.info"), 1u);
    Run({10, 55, 100});
    EXPECT_EQ(min, 45);
    Run({0, 10, 21});
    EXPECT_EQ(min, 10);
}

TEST_F(GetBPMTest, StartClearsTheTemplateAndBadFlags)
{
    Filter.set(FilterBits::UseTemplateMatch, 1);
    Filter.set(FilterBits::BadMeasurement, 1);
    EXPECT_EQ(Run({1390, 1440}), 153);
    EXPECT_FALSE(Flag(FilterBits::UseTemplateMatch));
    EXPECT_FALSE(Flag(FilterBits::BadMeasurement));
}

TEST_F(GetBPMTest, ClassificationPathLogsAndDumpsTwice)
{
    CalcHeart_BufferMedian = 101;  // the statistical method gives up
    const std::string log = RunLogged({100, 300});
    EXPECT_EQ(result, 3072);
    EXPECT_TRUE(Flag(FilterBits::UseTemplateMatch));
    EXPECT_FALSE(Flag(FilterBits::BadMeasurement));
    EXPECT_EQ(Occurrences(log, "Using beat classification method.\n"), 1u);
    EXPECT_EQ(Occurrences(log, "thresholdmethod.info"), 2u);
    EXPECT_EQ(Dump(), Image(tm2));
    EXPECT_EQ(tm2.QI, kQI3);
}

TEST_F(GetBPMTest, EveryOtherMethodValueSelectsTheStatisticalMethod)
{
    CalcHeart_BufferMedian = 101;
    for (UINT16 method : std::vector<UINT16>{0, 3, 4, 5, 6, 7}) {
        Filter.set(FilterBits::BeatClassifyingMethod, method);
        EXPECT_EQ(Run({100, 300}, {100, 44}), 3072) << method;
    }
}

TEST_F(GetBPMTest, LevelBasedWithOneHighPeakReportsBpm2WithQI3)
{
    Filter.set(FilterBits::BeatClassifyingMethod, 2);
    EXPECT_EQ(Run({100, 300}, {100, 44}), 3074);
    EXPECT_EQ(Peaks, 1);
    EXPECT_EQ(Dump(), Image(tm2));
    EXPECT_EQ(tm2.HighPeakThreshold, 66);
}

TEST_F(GetBPMTest, MethodIntervalIsConvertedUnderTheMethodQuality)
{
    Filter.set(FilterBits::BeatClassifyingMethod, 2);
    EXPECT_EQ(Run({100, 300}, {100, 45}), 38 | 0x400);  // both high: 7680 / 200 = 38.4

    // Template matching on a flat record: every quality is 0, candidate 0
    // wins with confidence 1 and QI 2.
    Filter.set(FilterBits::BeatClassifyingMethod, 1);
    EXPECT_EQ(Run({100, 300}), 38 | 0x800);
    EXPECT_EQ(Filter.get(FilterBits::ConfidenceLevel), 1);

    // Outside the limits the method's QI gives way to QI 3.
    HeartSampling.MinBPM = 39;
    EXPECT_EQ(Run({100, 300}), 38 | kQI3);
    EXPECT_TRUE(Flag(FilterBits::BadMeasurement));
}

}  // namespace
