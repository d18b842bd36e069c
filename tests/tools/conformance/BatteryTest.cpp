// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>

#include "conformance/Battery.h"
#include "conformance/ConformanceReport.h"

namespace {

using namespace qzkit;

struct GradeCase {
    Expectation expectation;
    std::optional<double> expected;
    std::uint16_t bpm;
    std::uint16_t qi;
    Verdict verdict;
};

class BatteryGrade : public ::testing::TestWithParam<GradeCase> {};

TEST_P(BatteryGrade, FollowsTheCaseRule)
{
    const GradeCase c = GetParam();
    WaveformRecipe wave;
    wave.bpm = 80;
    const ConformanceCase testCase{"family", "case", wave, c.expectation};
    ResultRecord estimate;
    estimate.bpm = c.bpm;
    estimate.qi = c.qi;
    EXPECT_EQ(Grade(testCase, c.expected, estimate, BeatCounts{}), c.verdict);
}

using enum Expectation;
constexpr Verdict kPass = Verdict::Pass;
constexpr Verdict kFail = Verdict::Fail;

INSTANTIATE_TEST_SUITE_P(
    Rules, BatteryGrade,
    ::testing::Values(GradeCase{Rate, 80.0, 88, 0, kPass},  // 10 % of 80 is the larger tolerance
                      GradeCase{Rate, 80.0, 89, 0, kFail}, GradeCase{Rate, 80.0, 80, 3, kFail},
                      GradeCase{Rate, std::nullopt, 0, 3, kPass},  // window too short: no rate
                      GradeCase{Rate, std::nullopt, 80, 0, kPass},  // ... or the right one
                      GradeCase{Rate, std::nullopt, 120, 0, kFail}, GradeCase{NoRate, std::nullopt, 80, 0, kFail},
                      GradeCase{NoRate, std::nullopt, 80, 3, kPass},
                      // Halving or doubling: below 80 / sqrt 2 = 56.6 or above 80 x sqrt 2 = 113.1.
                      GradeCase{NoHalvingOrDoubling, 80.0, 113, 0, kPass},
                      GradeCase{NoHalvingOrDoubling, 80.0, 114, 0, kFail},
                      GradeCase{NoHalvingOrDoubling, 80.0, 57, 2, kPass},
                      GradeCase{NoHalvingOrDoubling, 80.0, 56, 2, kFail},
                      GradeCase{NoHalvingOrDoubling, 80.0, 40, 3, kPass},
                      GradeCase{NotConfidentlyWrong, 80.0, 160, 1, kPass},
                      GradeCase{NotConfidentlyWrong, 80.0, 160, 0, kFail}, GradeCase{PulseRate, 80.0, 83, 0, kPass},
                      GradeCase{PulseRate, 80.0, 84, 0, kFail}, GradeCase{RateOrDoubtful, 80.0, 120, 2, kPass},
                      GradeCase{RateOrDoubtful, 80.0, 120, 1, kFail},
                      GradeCase{Disclosed, 100.0, 80, 0, Verdict::Disclosed}));

// A disclosed case is never graded; without an expected rate the beats do
// not count; with one, a rate and beats case needs every beat and no other.
TEST(BatteryGrade, PrecedenceOfTheRules)
{
    WaveformRecipe wave;
    wave.bpm = 80;
    ResultRecord right;
    right.bpm = 80;
    const struct {
        Expectation expectation;
        std::optional<double> expected;
        BeatCounts beats;
        Verdict verdict;
    } cases[] = {
        {Disclosed, std::nullopt, {0, 3, 3}, Verdict::Disclosed},
        {RateAndBeats, std::nullopt, {0, 3, 3}, kPass},
        {RateAndBeats, 80.0, {8, 0, 0}, kPass},
        {RateAndBeats, 80.0, {8, 1, 0}, kFail},
        {RateAndBeats, 80.0, {8, 0, 1}, kFail},
        {Rate, 80.0, {0, 8, 8}, kPass},
    };
    for (const auto &c : cases) {
        const ConformanceCase testCase{"family", "case", wave, c.expectation};
        EXPECT_EQ(Grade(testCase, c.expected, right, c.beats), c.verdict)
            << static_cast<int>(c.expectation) << " FN " << c.beats.falseNegatives << " FP " << c.beats.falsePositives;
    }
}

// A rate is expected when the window holds two intervals of it: 30 BPM
// needs 4 s.
TEST(BatteryWindow, HoldsTwoIntervalsFromTwiceTheInterval)
{
    EXPECT_TRUE(WindowHoldsTwoIntervals(30.0, 4.0));
    EXPECT_FALSE(WindowHoldsTwoIntervals(30.0, 3.99));
    EXPECT_FALSE(WindowHoldsTwoIntervals(0.0, 100.0));
}

TEST(Battery, ABrokenSettingFailsWhatTheShippedSettingsPass)
{
    BatteryOptions options;
    options.constants = ReadConstantsFile(QZ_EXAMPLES_DIR "/ecg250");
    options.families = {"amplitude"};
    options.seeds = 2;
    EXPECT_TRUE(AllGradedCasesPass(SummarizeCases(RunBattery(options))));

    options.settings.StageMask = 127 - 32;  // no peak finding
    const std::vector<BatteryRun> runs = RunBattery(options);
    EXPECT_FALSE(AllGradedCasesPass(SummarizeCases(runs)));
    EXPECT_TRUE(
        std::all_of(runs.begin(), runs.end(), [](const BatteryRun &run) { return run.verdict == Verdict::Fail; }));
}

}  // namespace
