// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "TestBuffers.h"
#include "ToolRunner.h"

using namespace qz;

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
    IntervalToBPM(&c.interval, &bpm, QZ_QI_PATTERN_1);
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
                      RateCase{"ClampedTo1023Accepted", kPeriod128, 0, 1023, 5, 1023 | 0x400, false},
                      RateCase{"TruncatesNearest004To124", 0.004f, 30, 240, 120, 124 | 0x400, false},
                      // A zero period gives an infinite rate: it saturates
                      // instead of reading as BPM 0.
                      RateCase{"InfiniteRateSaturates", 0.0f, 0, 1023, 10, 1023 | 0x400, false},
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

// Each run starts with the template and bad-measurement flags set: GetBPM
// clears them first. `min` receives the interval used, or the tail after two peaks.
struct GetBPMCase {
    const char *name;
    UINT16 method;
    std::vector<UINT16> locs, heights;
    UINT16 word;
    bool classified;
    UINT16 min;
};

class GetBPMCaseTest : public GetBPMTest, public ::testing::WithParamInterface<GetBPMCase> {};

TEST_P(GetBPMCaseTest, PicksTheIntervalAndItsQuality)
{
    const GetBPMCase &c = GetParam();
    Filter.set(FilterBits::BeatClassifyingMethod, c.method);
    Filter.set(FilterBits::UseTemplateMatch, 1);
    Filter.set(FilterBits::BadMeasurement, 1);
    EXPECT_EQ(Run(c.locs, c.heights), c.word);
    EXPECT_EQ(Flag(FilterBits::UseTemplateMatch), c.classified);
    if (!c.classified) {  // a method's QI 3 is no bad measurement
        EXPECT_EQ(Flag(FilterBits::BadMeasurement), (c.word & kQI3) == kQI3);
    }
    EXPECT_EQ(min, c.min);
}

// Rates are 7680 / interval. Two peaks: the single interval unless more than
// 1.2 intervals remain (1.2f x 50 lies just above 60; 1.2f x 55 is exactly 66,
// and a tail of exactly that is not more). Three or more: the average from
// first to last unless the shortest is below 0.8 of the longest (40 / 50 in
// float lies just above). The statistical method (3) grades a signal sum of
// 70000 as implausible: QI 3. A rate above 240 is QI 3 too.
INSTANTIATE_TEST_SUITE_P(
    Cases, GetBPMCaseTest,
    ::testing::Values(GetBPMCase{"SameLocationSpansTheRecord", 3, {1000, 1000}, {}, 5 | kQI3, false, 500},
                      GetBPMCase{"TailOf60", 3, {1390, 1440}, {}, 153, false, 60},
                      GetBPMCase{"TailOf61", 3, {1389, 1439}, {}, 153 | kQI3, true, 61},
                      GetBPMCase{"TailOf10", 3, {1440, 1490}, {}, 153, false, 10},
                      GetBPMCase{"TailOfExactly66", 3, {1379, 1434}, {}, 139, false, 66},
                      GetBPMCase{"TailOf67", 3, {1378, 1433}, {}, 139 | kQI3, true, 67},
                      GetBPMCase{"JustRegular", 3, {100, 140, 190}, {}, 170, false, 45},
                      GetBPMCase{"JustIrregular", 3, {100, 139, 189}, {}, 174 | kQI3, true, 39},
                      GetBPMCase{"AverageTruncates", 3, {10, 52, 100}, {}, 170, false, 45},
                      GetBPMCase{"AverageIgnoresTheMiddle", 3, {10, 55, 100}, {}, 170, false, 45},
                      GetBPMCase{"AverageOfTenAndEleven", 3, {0, 10, 21}, {}, 768 | kQI3, false, 10},
                      // Level-based (2): one high peak left gives BPM 2 with QI 3.
                      GetBPMCase{"LevelBasedOneHighPeak", 2, {100, 300}, {100, 44}, 2 | kQI3, true, 1200},
                      GetBPMCase{"LevelBasedBothHigh", 2, {100, 300}, {100, 45}, 38 | 0x400, true, 1200},
                      // Template matching on a flat record: candidate 0 wins with QI 2.
                      GetBPMCase{"TemplateOnAFlatRecord", 1, {100, 300}, {}, 38 | 0x800, true, 1200}),
    [](const ::testing::TestParamInfo<GetBPMCase> &param) { return std::string(param.param.name); });

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

}  // namespace
