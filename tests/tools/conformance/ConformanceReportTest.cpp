// SPDX-License-Identifier: Apache-2.0
// The battery's results: a case's verdict and counts from its runs, the
// clipping notes, the closing line, and the CSV rows with their quoting.
#include <gtest/gtest.h>

#include "conformance/ConformanceReport.h"
#include "io/FileBytes.h"
#include "ToolRunner.h"

namespace {

using namespace qzkit;

BatteryRun MakeRun(const ConformanceCase &testCase, Verdict verdict, std::uint16_t bpm, std::optional<double> expected)
{
    BatteryRun run;
    run.testCase = &testCase;
    run.verdict = verdict;
    run.estimate.bpm = bpm;
    run.expectedBpm = expected;
    run.beats = {2, 1, 0};
    return run;
}

TEST(ConformanceSummary, AnyFailingRunFailsItsCaseAndDisclosedCasesAreNotCounted)
{
    WaveformRecipe wave;
    wave.bpm = 80;
    const ConformanceCase graded{"family", "graded", wave, Expectation::Rate};
    const ConformanceCase passing{"family", "passing", wave, Expectation::Rate};
    const ConformanceCase disclosed{"family", "step", wave, Expectation::Disclosed};
    std::vector<BatteryRun> runs{
        MakeRun(graded, Verdict::Pass, 80, 80.0),
        MakeRun(graded, Verdict::Fail, 95, 80.0),
        MakeRun(graded, Verdict::Pass, 77, std::nullopt),
        MakeRun(passing, Verdict::Pass, 81, 80.0),
        MakeRun(disclosed, Verdict::Disclosed, 90, 85.0),
    };
    runs[0].clippedFraction = 0.02;  // the worst of its case's runs
    runs[1].clippedFraction = 0.005;
    const std::vector<CaseSummary> summaries = SummarizeCases(runs);
    ASSERT_EQ(summaries.size(), 3u);
    const CaseSummary &first = summaries[0];
    EXPECT_EQ(first.verdict, Verdict::Fail) << "a later pass does not undo a failure";
    EXPECT_EQ(first.runs, 3u);
    EXPECT_EQ(first.passes, 2u);
    EXPECT_EQ(first.worstError, 15.0);
    EXPECT_EQ(first.expected, (std::vector<std::optional<double>>{80.0, std::nullopt}));
    EXPECT_EQ(first.beats, (BeatCounts{6, 3, 0}));
    EXPECT_EQ(summaries[2].verdict, Verdict::Disclosed);
    EXPECT_FALSE(AllGradedCasesPass(summaries));
    EXPECT_TRUE(AllGradedCasesPass({summaries[1], summaries[2]}));

    const std::string markdown = SummaryMarkdown(summaries, 200.0);
    EXPECT_NE(markdown.find("| family | graded | 80 / no rate | 77-95 | 2/3 | 15 | 66.7 % | 100.0 % | **FAIL** |\n"),
              std::string::npos)
        << markdown;
    EXPECT_NE(markdown.find("\n\nClipping at 200 counts per mV:\n- family graded: up to 2.0 % of samples clipped\n\n"),
              std::string::npos)
        << markdown;
    EXPECT_EQ(markdown.substr(markdown.rfind("\n\n")), "\n\n1 of 2 graded cases pass\n");
    EXPECT_EQ(SummaryMarkdown({summaries[1], summaries[2]}, 200.0).find("Clipping"), std::string::npos);
}

TEST(ConformanceCsv, QuotesNamesWithCommasAndQuotesAndLeavesAbsentRatesEmpty)
{
    WaveformRecipe wave;
    wave.bpm = 80;
    const ConformanceCase testCase{"family", "tall \"T\", 1 mV", wave, Expectation::NoRate};
    BatteryRun run = MakeRun(testCase, Verdict::Pass, 0, std::nullopt);
    run.estimate.qi = 3;
    qztest::TempDir dir;
    WriteRunsCsv(dir / "runs.csv", {run});
    const std::string text = ReadTextFile(dir / "runs.csv", 4096);
    const std::string row = text.substr(text.find('\n') + 1);
    EXPECT_EQ(row.rfind("family,\"tall \"\"T\"\", 1 mV\",", 0), 0u) << row;
    EXPECT_EQ(row.substr(row.find(",0,0.00,0,")), ",0,0.00,0,,0,3,0,0,0,2,0.00,,,pass\n") << row;
}

}  // namespace
