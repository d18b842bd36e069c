// SPDX-License-Identifier: Apache-2.0
// How tune compares points: the pick rules, the requirements (met exactly,
// unmeasured, no battery family worse), the Pareto set, and the battery's
// cases as tune counts them.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tune/TuneScores.h"
#include "ToolkitError.h"

namespace {

using namespace qzkit;

// `cases` of 200 battery cases and `runs` % of the runs passed, `within` %
// of the training windows within tolerance, `qi0Right` of 10 QI 0 answers
// right (none: no QI 0 answer), `families` passed of the first two families.
struct Point {
    std::uint32_t cases = 100;
    std::uint32_t within = 80;
    std::uint32_t runs = 50;
    std::optional<std::uint32_t> qi0Right = 5;
    std::array<std::uint16_t, 2> families{5, 5};

    TuneScores Scores() const
    {
        TuneScores scores;
        scores.battery.casesGraded = 200;
        scores.battery.casesPassed = cases;
        scores.battery.runsGraded = 100;
        scores.battery.runsPassed = runs;
        for (std::size_t f = 0; f < families.size(); ++f) {
            scores.battery.familyGraded[f] = 10;
            scores.battery.familyPassed[f] = families[f];
        }
        scores.training.withReference = 100;
        scores.training.agreeing = within;
        scores.training.qi0 = qi0Right ? 10 : 0;
        scores.training.qi0Right = qi0Right.value_or(0);
        return scores;
    }
};

struct RankingCase {
    const char *name;
    PickRule rule;
    std::vector<std::string> requirements;
    bool keepFamilies;  // of a start that passes 5 cases in each family
    Point first;        // ranks above `second`
    Point second;
};

class TuneRanking : public ::testing::TestWithParam<RankingCase> {};

TEST_P(TuneRanking, PutsTheFirstPointAboveTheSecond)
{
    const RankingCase &c = GetParam();
    Ranking ranking;
    ranking.rule = c.rule;
    for (const std::string &requirement : c.requirements) {
        ranking.requirements.push_back(ParseRequirement(requirement));
    }
    if (c.keepFamilies) {
        ranking.keepFamilies = Point{}.Scores().battery;
    }
    EXPECT_TRUE(ranking.Better(c.first.Scores(), c.second.Scores()));
    EXPECT_FALSE(ranking.Better(c.second.Scores(), c.first.Scores()));
}

using enum PickRule;

INSTANTIATE_TEST_SUITE_P(
    Rules, TuneRanking,
    ::testing::Values(
        // The balanced mean takes the cases as a share: 50 % beats 75 % when
        // the windows make up for it (the counts 100 and 150 would not).
        RankingCase{"BalancedTakesCasesAsAShare", Balanced, {}, false, {.cases = 100, .within = 99},
                    {.cases = 150, .within = 70}},
        RankingCase{"BalancedBreaksTiesByRuns", Balanced, {}, false, {.runs = 60}, {.runs = 40}},
        RankingCase{"BalancedRunsNeverOutweighACase", Balanced, {}, false, {.cases = 101, .runs = 0},
                    {.cases = 100, .runs = 100}},
        RankingCase{"BatteryCasesFirst", Battery, {}, false, {.cases = 101, .within = 50},
                    {.cases = 100, .within = 99}},
        RankingCase{"BatteryThenWindowsBeforeQi0", Battery, {}, false, {.within = 81, .qi0Right = 0},
                    {.within = 80, .qi0Right = 10}},
        RankingCase{"ManifestsWindowsFirst", Manifests, {}, false, {.cases = 50, .within = 81},
                    {.cases = 190, .within = 80}},
        RankingCase{"ManifestsThenQi0BeforeCases", Manifests, {}, false, {.cases = 50, .qi0Right = 6},
                    {.cases = 190, .qi0Right = 5}},
        RankingCase{"ARequirementMetExactlyIsMet", Balanced, {"within>=90"}, false, {.cases = 50, .within = 90},
                    {.cases = 190, .within = 89}},
        RankingCase{"AnUnmeasuredRequirementIsNotMet", Balanced, {"qi0_right>=40"}, false, {.within = 50},
                    {.cases = 190, .within = 99, .qi0Right = std::nullopt}},
        RankingCase{"NoFamilyMayLoseACase", Balanced, {}, true, {.cases = 100},
                    {.cases = 190, .families = {6, 4}}}),
    [](const auto &one) { return std::string(one.param.name); });

TEST(TuneRanking, RequirementsAreNameAtLeastValue)
{
    EXPECT_EQ(ParseRequirement("se>=99.5").minimum, 99.5);
    EXPECT_THROW(ParseRequirement("within>88"), ToolkitError);
    EXPECT_THROW(ParseRequirement("speed>=1"), ToolkitError);
    EXPECT_THROW(ParseRequirement("within>=ninety"), ToolkitError);
}

TEST(TuneParetoSet, KeepsOneOfEachUndominatedFeasiblePointBestFirst)
{
    const std::vector<TuneScores> points{
        Point{.cases = 100, .within = 90}.Scores(), Point{.cases = 112, .within = 85}.Scores(),
        Point{.cases = 100, .within = 85}.Scores(),  // beaten by the first on the windows
        Point{.cases = 100, .within = 90}.Scores(),  // the first again
        Point{.cases = 116, .within = 70}.Scores()};
    Ranking ranking;
    EXPECT_EQ(ParetoSet(points, ranking), (std::vector<std::size_t>{1, 0, 4}));  // best mean first
    ranking.rule = Battery;
    EXPECT_EQ(ParetoSet(points, ranking), (std::vector<std::size_t>{4, 1, 0}));
    ranking.requirements = {ParseRequirement("within>=88")};
    EXPECT_EQ(ParetoSet(points, ranking), (std::vector<std::size_t>{0}));
    ranking.requirements = {ParseRequirement("within>=95")};  // nobody: the front of all points
    EXPECT_EQ(ParetoSet(points, ranking), (std::vector<std::size_t>{4, 1, 0}));
}

// Tune counts a case once, passed only when every run passed, and leaves
// disclosed cases out; each family's cases in the order the families ran.
TEST(TuneBatteryScore, CountsGradedCasesPerFamily)
{
    const ConformanceCase first{"first", "a", {}, Expectation::Rate};
    const ConformanceCase second{"second", "b", {}, Expectation::Rate};
    const ConformanceCase disclosed{"second", "c", {}, Expectation::Disclosed};
    const auto run = [](const ConformanceCase &testCase, Verdict verdict) {
        BatteryRun one;
        one.testCase = &testCase;
        one.verdict = verdict;
        return one;
    };
    const BatteryScore score =
        ScoreBattery({run(first, Verdict::Pass), run(first, Verdict::Fail), run(second, Verdict::Pass),
                      run(second, Verdict::Pass), run(disclosed, Verdict::Disclosed)},
                     {"first", "second"});
    EXPECT_EQ(score.casesPassed, 1u);
    EXPECT_EQ(score.casesGraded, 2u);
    EXPECT_EQ(score.runsPassed, 3u);
    EXPECT_EQ(score.runsGraded, 4u);
    EXPECT_EQ(score.familyPassed[0], 0u);
    EXPECT_EQ(score.familyGraded[0], 1u);
    EXPECT_EQ(score.familyPassed[1], 1u);
    EXPECT_EQ(score.familyGraded[1], 1u);
}

}  // namespace
