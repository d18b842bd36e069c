// SPDX-License-Identifier: Apache-2.0
// The constants search: it finds a known optimum, refuses unsound sets
// before they run, never lets the validation manifests choose, and writes
// what it found when stopped, from which a resumed search ends where one
// never stopped does, on any number of workers.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <set>

#include "../evaluate/EvaluationFixture.h"
#include "constants/ConstantsCheck.h"
#include "tune/Tune.h"
#include "tune/TuneJournal.h"
#include "ToolkitError.h"

namespace {

using namespace qzkit;

// Scores that peak at a low-pass of 23.4 Hz and a high-pass of 4.35 Hz.
TuneScores Bowl(const Candidate &candidate)
{
    const double distance = std::pow(candidate.design.lowPassCutoff - 23.4, 2.0) +
                            std::pow(10.0 * (candidate.design.highPassCutoff - 4.35), 2.0);
    TuneScores scores;
    scores.training.withReference = 10000000;
    scores.training.agreeing = static_cast<std::uint32_t>(std::lround(10000000.0 - 1000.0 * distance));
    return scores;
}

BatchScorer ScorerOf(TuneScores (*score)(const Candidate &))
{
    return [score](const Batch &batch, std::vector<std::optional<TuneScores>> &scores) {
        for (std::size_t i = 0; i < batch.candidates.size(); ++i) {
            EXPECT_TRUE(CheckConstants(batch.images[i]).empty()) << batch.candidates[i].Key();
            scores[i] = score(batch.candidates[i]);
        }
        return true;
    };
}

SearchOptions SmallSpace()
{
    SearchOptions options;
    for (const Knob fixed : {kSwingKnob, kMaxBpmKnob}) {
        options.space.ranges[fixed].high = options.space.ranges[fixed].low;
    }
    options.rounds = 40;
    return options;
}

TEST(TuneSearch, FindsTheOptimumOfASmallSpaceTheSameWayEveryTime)
{
    const SearchOptions options = SmallSpace();
    const SearchLog log = Search(options, {}, ScorerOf(Bowl));
    const Candidate &best = log.evaluated.at(*log.Best({})).candidate;
    EXPECT_DOUBLE_EQ(best.design.lowPassCutoff, 23.4);
    EXPECT_DOUBLE_EQ(best.design.highPassCutoff, 4.35);
    EXPECT_LT(log.evaluated.size(), 150u);  // far fewer than the 2800 points of the fine grid
    const SearchLog again = Search(options, {}, ScorerOf(Bowl));
    ASSERT_EQ(again.evaluated.size(), log.evaluated.size());
    for (std::size_t i = 0; i < log.evaluated.size(); ++i) {
        EXPECT_EQ(again.evaluated[i].candidate.Key(), log.evaluated[i].candidate.Key());
    }
}

TEST(TuneSearch, RefusesUnsoundCandidatesBeforeTheyRun)
{
    SearchOptions options = SmallSpace();
    options.space.ranges[kHighPassKnob] = {0.2, 8.0};  // third order below about 1.5 Hz cannot be stored
    const SearchLog log = Search(options, {}, ScorerOf(Bowl));
    ASSERT_FALSE(log.refused.empty());
    EXPECT_LT(log.refused.front().candidate.design.highPassCutoff, 1.5);
    EXPECT_FALSE(log.refused.front().reason.empty());

    Candidate unstable;
    unstable.raw = DesignConstants(unstable.design).image;
    WriteFloatValue(*unstable.raw, FindConstantsField("HPFConstantsA"), 0, EncodeFloat24(-3.5));
    EXPECT_FALSE(ImageOf(unstable).image);
    EXPECT_NE(ImageOf(unstable).refusal.find("unit circle"), std::string::npos) << ImageOf(unstable).refusal;
}

TEST(TuneSearch, StopsAtTheEvaluationLimit)
{
    SearchOptions options = SmallSpace();
    options.maxEvaluations = 5;
    const SearchLog log = Search(options, {}, ScorerOf(Bowl));
    EXPECT_TRUE(log.stopped);
    EXPECT_EQ(log.evaluated.size(), 5u);
}

TEST(TuneSearch, AskedAgainBeforeToldGivesTheSameBatchAndAMissingScoreStops)
{
    TuneSearch search(SmallSpace(), {});
    const std::vector<Candidate> first = search.Ask().candidates;
    ASSERT_GT(first.size(), 1u);
    EXPECT_EQ(search.Ask().candidates.size(), first.size());
    std::vector<std::optional<TuneScores>> scores(first.size());
    scores[0] = Bowl(first[0]);
    search.Tell(scores);
    EXPECT_TRUE(search.Log().stopped);
    EXPECT_EQ(search.Log().evaluated.size(), 1u);
    EXPECT_TRUE(search.Ask().candidates.empty());
}

TEST(TuneSpace, TheGridIsSampledWithoutBuildingIt)
{
    SearchOptions options;
    options.space.ranges = {{{16.3, 30.0}, {3.0, 8.0}, {200.0, 500.0}, {30, 60}, {240, 300}, {0, 100}}};
    options.space.levels = 20;  // 64 million points: 11 GB if built whole
    options.space.gridLimit = 1000;
    const std::vector<Candidate> grid = Grid(options.space, 5);
    ASSERT_EQ(grid.size(), 1000u);
    std::set<std::string> keys;
    for (const Candidate &candidate : grid) {
        keys.insert(candidate.Key());
    }
    EXPECT_EQ(keys.size(), grid.size());
    EXPECT_EQ(Grid(options.space, 5).back().Key(), grid.back().Key());
    EXPECT_NE(Grid(options.space, 6).back().Key(), grid.back().Key());
}

// The counts of a point: `passed` of 4 battery cases, one family, one
// training window.
std::string Counts(int passed)
{
    std::string zeros;
    for (int i = 1; i < static_cast<int>(kMaxTuneFamilies); ++i) {
        zeros += " 0";
    }
    return std::to_string(passed) + " 4 40 40 " + std::to_string(passed) + zeros + " 4" + zeros +
           " 1 1 1 1 1 1 1 7 0 0";
}

void WriteText(const std::filesystem::path &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A journal whose points are `lines`: read with one point kept under the
// key "k", or refused with `fault` in the message.
struct JournalCase {
    std::string lines;
    std::string fault;
};

class JournalLines : public ::testing::TestWithParam<JournalCase> {};

TEST_P(JournalLines, AreCheckedOneByOne)
{
    const qztest::TempDir dir;
    WriteText(dir / "j.points", "qzkit constants tune points 1\ndata 00000000000000aa\n" + GetParam().lines);
    if (GetParam().fault.empty()) {
        const KeptScores kept = ReadJournal(dir / "j.points", 0xaa);
        ASSERT_EQ(kept.Size(), 1u);
        EXPECT_EQ(kept.Points().front().first, "k");
        EXPECT_EQ(kept.Points().front().second.battery.casesPassed, 4u);
        return;
    }
    try {
        ReadJournal(dir / "j.points", 0xaa);
        ADD_FAILURE() << "read";
    } catch (const ToolkitError &error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().fault), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tune, JournalLines,
    ::testing::Values(JournalCase{Counts(4) + "\tk\n", ""}, JournalCase{Counts(4) + "\tk\r\n", ""},
                      JournalCase{Counts(999) + "\tk\n", ":3: impossible scores"},
                      JournalCase{Counts(4) + "\tk\n4 4 40\tm\n", ":4: not a scored point"},
                      JournalCase{Counts(4) + "\tk\n" + Counts(3) + "\tk\n", ":4: the point is kept twice"},
                      JournalCase{Counts(4) + "\tk\n4 4 4", ":4: not a scored point (the line is cut short"}));

TEST(TuneJournal, RefusesACutDataLineAFifoAndAnOversizedFileAtOnce)
{
    const qztest::TempDir dir;
    WriteText(dir / "cut.points", "qzkit constants tune points 1\ndata 00000000");
    EXPECT_THROW(
        {
            try {
                ReadJournal(dir / "cut.points", 0xaa);
            } catch (const ToolkitError &error) {
                EXPECT_NE(std::string(error.what()).find(":2: not the data line"), std::string::npos);
                throw;
            }
        },
        ToolkitError);
    ASSERT_EQ(mkfifo((dir / "fifo.points").c_str(), 0600), 0);
    EXPECT_THROW(ReadJournal(dir / "fifo.points", 0xaa), ToolkitError);
    std::ofstream(dir / "sparse.points").close();
    std::filesystem::resize_file(dir / "sparse.points", std::uintmax_t{600} << 20);
    EXPECT_THROW(ReadJournal(dir / "sparse.points", 0xaa), ToolkitError);
}

// A tiny real search: one battery family at one length and phase, one
// training manifest and, for the validation test, a second one.
struct TuneFixture {
    qztest::EvaluationFixture windows;

    TuneOptions Options(const char *name) const
    {
        TuneOptions options;
        options.search.space.ranges = {{{16.3, 30.0}, {5.0, 5.0}, {375, 375}, {30, 30}, {240, 240}, {0, 0}}};
        options.search.rounds = 1;
        options.search.starts = 1;
        options.battery.families = {"reference"};
        options.battery.lengths = {QZ_SHORT_RECORD_SAMPLES};
        options.battery.seeds = 1;
        options.training = {windows.File(0, ".manifest.csv"), windows.File(1, ".manifest.csv")};
        options.output = windows.dir / name;
        return options;
    }
};

std::string Text(const std::filesystem::path &path)
{
    const std::vector<std::uint8_t> bytes = qztest::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> FrontKeys(const TuneResult &result)
{
    std::vector<std::string> keys;
    for (const std::size_t index : result.front) {
        keys.push_back(result.log.evaluated[index].candidate.Key());
    }
    return keys;
}

TEST(Tune, ValidationManifestsAreScoredButNeverChoose)
{
    const TuneFixture fixture;
    const TuneResult plain = RunTune(fixture.Options("plain"), [] { return false; }, [](auto, auto, auto) {});
    TuneOptions options = fixture.Options("validated");
    options.validation = {fixture.windows.File(2, ".manifest.csv"), fixture.windows.File(3, ".manifest.csv")};
    const TuneResult validated = RunTune(options, [] { return false; }, [](auto, auto, auto) {});
    EXPECT_EQ(FrontKeys(validated), FrontKeys(plain));
    EXPECT_EQ(validated.log.evaluated[validated.chosen].candidate.Key(),
              plain.log.evaluated[plain.chosen].candidate.Key());
    EXPECT_EQ(validated.log.evaluated[validated.chosen].scores.validation.withReference, 2u);
    EXPECT_NE(Text(fixture.windows.dir / "validated.md").find("| validation: "), std::string::npos);
}

TEST(Tune, StoppedSearchWritesWhatItFoundAndResumesToTheSameEnd)
{
    const TuneFixture fixture;
    const auto never = [] { return false; };
    const auto quiet = [](auto, auto, auto) {};
    TuneOptions options = fixture.Options("stopped");
    options.workers = 2;
    std::size_t asked = 0;
    const TuneResult stopped = RunTune(options, [&asked] { return ++asked > 1; }, quiet);
    EXPECT_TRUE(stopped.log.stopped);
    EXPECT_FALSE(stopped.log.evaluated.empty());
    for (const char *suffix : {".csv", ".pvx.filters.v1", ".constants.txt", ".md", ".svg", ".png", ".points"}) {
        EXPECT_TRUE(std::filesystem::exists(fixture.windows.dir / (std::string("stopped") + suffix))) << suffix;
    }
    EXPECT_NE(Text(fixture.windows.dir / "stopped.md").find("Stopped before the search ended"),
              std::string::npos);

    // Resumed, it scores only what the journal did not keep, and ends with
    // the files of a search never stopped, run on one worker in this process.
    options.resume = true;
    std::size_t scored = 0;
    const auto counting = [&scored](auto, auto, auto) { ++scored; };
    const TuneResult resumed = RunTune(options, never, counting);
    TuneOptions wholeOptions = fixture.Options("whole");
    wholeOptions.workers = 1;
    const TuneResult whole = RunTune(wholeOptions, never, quiet);
    EXPECT_FALSE(resumed.log.stopped);
    EXPECT_EQ(resumed.resumed, stopped.log.evaluated.size());
    EXPECT_EQ(scored, resumed.log.evaluated.size() - resumed.resumed);
    for (const char *suffix : {".csv", ".points"}) {
        EXPECT_EQ(Text(fixture.windows.dir / (std::string("stopped") + suffix)),
                  Text(fixture.windows.dir / (std::string("whole") + suffix)))
            << suffix;
    }

    // The last row of the Pareto set picked from the journal, nothing scored again.
    wholeOptions.resume = true;
    wholeOptions.pickRow = whole.front.size();
    scored = 0;
    EXPECT_EQ(RunTune(wholeOptions, never, counting).chosen, whole.front.back());
    EXPECT_EQ(scored, 0u);

    options.search.maxEvaluations = 3;  // a resume never drops what the journal kept
    RunTune(options, never, quiet);
    EXPECT_EQ(Text(fixture.windows.dir / "stopped.points"), Text(fixture.windows.dir / "whole.points"));

    options.training.pop_back();  // other data: the kept scores no longer hold
    EXPECT_THROW(RunTune(options, never, quiet), ToolkitError);
}

}  // namespace
