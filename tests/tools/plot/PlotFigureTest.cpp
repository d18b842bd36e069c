// The figure model of qzkit plot, built from runs made up in memory: which
// panels appear, where the peaks and beats go, what the title says, and the
// special cases (no peak, one peak, more than 25, an open peak at the end, a
// stage that did not run, a 600-sample recording).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "plot/PlotFigure.h"
#include "ToolkitError.h"

namespace {

using qzkit::BuildFigure;
using qzkit::Figure;
using qzkit::PanelKind;
using qzkit::RunFiles;
using qzkit::RunSettings;

constexpr std::size_t kAverage = 4;  // index of the averaging stage among the dumps
constexpr std::uint16_t kPeakHeight = 400;

// A run with every stage dumped: a flat recording, flat stages, and the
// averaged signal raised to kPeakHeight at each stored peak location.
RunFiles MadeUpRun(std::size_t sampleCount, std::uint16_t peakCount, const std::vector<std::uint16_t> &locations)
{
    RunFiles files;
    files.recordName = "rec";
    files.constantsName = "ecg250";
    files.constants.Period = 0.004f;
    files.constants.MinBPM = 30;
    files.constants.MaxBPM = 240;
    files.constants.OnePerMinute = 60;
    files.recording.assign(sampleCount, 512);
    for (auto &dump : files.dumps) {
        dump = std::vector<std::uint16_t>(sampleCount, 0);
    }
    files.result.peakCount = peakCount;
    for (std::size_t i = 0; i < locations.size(); ++i) {
        files.result.peakLocations[i] = locations[i];
        (*files.dumps[kAverage])[locations[i] - 1u] = kPeakHeight;
    }
    return files;
}

std::vector<std::uint16_t> EvenlySpaced(std::size_t count, std::uint16_t first, std::uint16_t step)
{
    std::vector<std::uint16_t> locations;
    for (std::size_t i = 0; i < count; ++i) {
        locations.push_back(static_cast<std::uint16_t>(first + i * step));
    }
    return locations;
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

bool AnyLineContains(const Figure &figure, const std::string &part)
{
    for (const std::string &line : figure.titleLines) {
        if (Contains(line, part)) {
            return true;
        }
    }
    return false;
}

struct PeakCase {
    const char *name;
    std::uint16_t count;
    std::vector<std::uint16_t> locations;
    std::size_t counted;
    const char *headline;
    const char *note;
};

class PlotPeakCases : public ::testing::TestWithParam<PeakCase> {};

TEST_P(PlotPeakCases, MarksEveryStoredLocationOnTheSignalThePeakFinderSaw)
{
    const PeakCase &c = GetParam();
    const Figure figure = BuildFigure(MadeUpRun(1500, c.count, c.locations), {});
    ASSERT_EQ(figure.panels.size(), 6u);
    ASSERT_EQ(figure.peakPanel, 5u);
    const qzkit::Panel &panel = figure.panels[figure.peakPanel];
    ASSERT_EQ(panel.peaks.size(), c.locations.size());
    std::size_t counted = 0;
    for (std::size_t i = 0; i < panel.peaks.size(); ++i) {
        const qzkit::PeakMarker &peak = panel.peaks[i];
        EXPECT_EQ(peak.number, i + 1u);
        EXPECT_EQ(peak.sample, c.locations[i] - 1u) << "locations are one-based";
        EXPECT_EQ(peak.value, kPeakHeight);
        EXPECT_DOUBLE_EQ(peak.x, figure.XOf(static_cast<double>(peak.sample)));
        EXPECT_DOUBLE_EQ(peak.y, panel.YOf(kPeakHeight));
        EXPECT_GT(peak.y, panel.frame.y) << "room for the number above the marker";
        counted += peak.counted ? 1u : 0u;
    }
    EXPECT_EQ(counted, c.counted);
    EXPECT_EQ(figure.title.peakCount, c.count);
    EXPECT_EQ(figure.title.markedPeaks, c.locations.size());
    EXPECT_TRUE(Contains(figure.headline, c.headline)) << figure.headline;
    EXPECT_EQ(panel.note, c.note);
}

INSTANTIATE_TEST_SUITE_P(
    SpecialCases, PlotPeakCases,
    ::testing::Values(PeakCase{"NoPeaks", 0, {}, 0, "   0 peaks", "no peaks found"},
                      PeakCase{"OnePeak", 1, {700}, 1, "   1 peak", ""},
                      PeakCase{"Regular", 7, EvenlySpaced(7, 90, 208), 7, "   7 peaks", ""},
                      PeakCase{"MoreThan25", 30, EvenlySpaced(25, 20, 50), 25,
                               "30 peaks (the first 25 stored and marked)", ""},
                      PeakCase{"OpenPeakAtTheEnd", 3, {200, 600, 1000, 1499}, 3,
                               "3 peaks (+1 open at the end, not counted)", ""}),
    [](const ::testing::TestParamInfo<PeakCase> &testInfo) { return std::string(testInfo.param.name); });

TEST(PlotFigure, ThresholdIsAFifthOfTheRangeAboveTheMinimum)
{
    RunFiles files = MadeUpRun(1500, 1, {700});
    std::vector<std::uint16_t> &average = *files.dumps[kAverage];
    average.assign(average.size(), 10);
    average[699] = 14;
    EXPECT_EQ(BuildFigure(files, {}).panels[5].threshold, 0u);
    average[699] = 15;
    const Figure figure = BuildFigure(files, {});
    EXPECT_EQ(figure.panels[5].threshold, 1u);
    EXPECT_EQ(figure.panels[5].thresholdLevel, std::uint16_t{11});
}

TEST(PlotFigure, StageOutsideTheMaskIsAStripEvenWithAnOlderDumpPresent)
{
    RunSettings settings;
    settings.mask = 125;  // everything but the high-pass
    const Figure figure = BuildFigure(MadeUpRun(1500, 1, {700}), settings);
    ASSERT_EQ(figure.panels.size(), 6u);
    EXPECT_EQ(figure.panels[2].kind, PanelKind::NotRun);
    EXPECT_EQ(figure.panels[2].title, "high-pass");
    EXPECT_TRUE(Contains(figure.panels[2].note, "did not run"));
    EXPECT_TRUE(Contains(figure.panels[2].note, "ignored"));
    EXPECT_LT(figure.panels[2].frame.height, figure.panels[1].frame.height);
    EXPECT_EQ(figure.peakPanel, 5u);
}

TEST(PlotFigure, WithoutAMaskTheStagesFollowTheDumpFilesPresent)
{
    RunFiles files = MadeUpRun(1500, 1, {700});
    files.dumps[1].reset();
    const Figure figure = BuildFigure(files, {});
    EXPECT_EQ(figure.panels[2].kind, PanelKind::NotRun);
    EXPECT_EQ(figure.panels[2].note, "did not run");
    for (const std::size_t signal : {0u, 1u, 3u, 4u, 5u}) {
        EXPECT_EQ(figure.panels[signal].kind, PanelKind::Signal) << signal;
    }
}

TEST(PlotFigure, MaskedStageWithoutItsDumpIsAnError)
{
    RunFiles files = MadeUpRun(1500, 1, {700});
    files.dumps[3].reset();
    RunSettings settings;
    settings.mask = 127;
    try {
        BuildFigure(files, settings);
        FAIL() << "expected an error";
    } catch (const qzkit::ToolkitError &error) {
        EXPECT_TRUE(Contains(error.what(), "rec.square is missing")) << error.what();
    }
}

TEST(PlotFigure, DataThatDoNotFitTheRecordingAreAnError)
{
    RunFiles files = MadeUpRun(1500, 1, {700});
    files.result.peakLocations[1] = 1501;
    EXPECT_THROW(BuildFigure(files, {}), qzkit::ToolkitError) << "a peak beyond the recording";
    files = MadeUpRun(1500, 1, {700});
    files.dumps[2]->pop_back();
    EXPECT_THROW(BuildFigure(files, {}), qzkit::ToolkitError) << "a dump shorter than the recording";
    files = MadeUpRun(1500, 0, {});
    files.recording.resize(1);
    EXPECT_THROW(BuildFigure(files, {}), qzkit::ToolkitError) << "a single sample has no time axis";
}

struct DelayCase {
    const char *name;
    std::uint16_t mask;
    std::uint16_t derivativeOrder;
    std::size_t delay;
    std::size_t peakPanel;
};

class PlotDelays : public ::testing::TestWithParam<DelayCase> {};

TEST_P(PlotDelays, BeatsMoveBackByTheDelaysOfTheStagesThatRan)
{
    const DelayCase &c = GetParam();
    RunSettings settings;
    settings.mask = c.mask;
    settings.derivativeOrder = c.derivativeOrder;
    RunFiles files = MadeUpRun(1500, 2, {400, 900});
    files.dumps[kAverage] = files.recording;  // the peak values do not matter here
    const Figure figure = BuildFigure(files, settings);
    EXPECT_EQ(figure.beatDelay, c.delay);
    EXPECT_EQ(figure.peakPanel, c.peakPanel);
    const std::vector<qzkit::BeatMarker> &beats = figure.panels.front().beats;
    if (c.peakPanel == 0) {
        EXPECT_TRUE(beats.empty()) << "the peaks are on the recording already";
        EXPECT_TRUE(AnyLineContains(figure, "no conditioning stage ran"));
        return;
    }
    ASSERT_EQ(beats.size(), 2u);
    EXPECT_EQ(beats[0].sample, 399u - c.delay);
    EXPECT_EQ(beats[1].sample, 899u - c.delay);
    EXPECT_TRUE(AnyLineContains(figure, "moved " + std::to_string(c.delay) + " samples earlier"));
}

INSTANTIATE_TEST_SUITE_P(
    StageChoices, PlotDelays,
    ::testing::Values(DelayCase{"FullChainTwoPoint", 127, 2, 12, 5}, DelayCase{"FullChainFivePoint", 127, 5, 14, 5},
                      DelayCase{"LowPassOnly", 1 | 32 | 64, 2, 4, 1},
                      DelayCase{"HighPassAndSquaringAddNothing", 2 | 8 | 32 | 64, 2, 0, 4},
                      DelayCase{"AveragingOnly", 16 | 32 | 64, 2, 8, 5},
                      DelayCase{"FivePointDerivativeOnly", 4 | 32 | 64, 5, 2, 3},
                      DelayCase{"NoConditioning", 32 | 64, 2, 0, 0}),
    [](const ::testing::TestParamInfo<DelayCase> &testInfo) { return std::string(testInfo.param.name); });

TEST(PlotFigure, BeatThatWouldFallBeforeTheRecordingIsNotPlaced)
{
    const Figure figure = BuildFigure(MadeUpRun(1500, 2, {5, 400}), {});
    const qzkit::Panel &recording = figure.panels.front();
    ASSERT_EQ(recording.beats.size(), 1u);
    EXPECT_EQ(recording.beats[0].number, 2u);
    EXPECT_EQ(recording.beats[0].sample, 399u - 12u);
    EXPECT_EQ(recording.legend.back(), "1 beat before the start, not placed");
}

TEST(PlotFigure, ShortRecordingSpansTheSameWidthWithItsOwnTimeAxis)
{
    const Figure figure = BuildFigure(MadeUpRun(600, 3, {91, 299, 507}), {});
    EXPECT_EQ(figure.sampleCount, 600u);
    EXPECT_DOUBLE_EQ(figure.XOf(0.0), figure.plotLeft);
    EXPECT_DOUBLE_EQ(figure.XOf(599.0), figure.plotRight);
    ASSERT_FALSE(figure.ticks.empty());
    EXPECT_EQ(figure.ticks.front().seconds, "0");
    EXPECT_EQ(figure.ticks.back().seconds, "2.2");
    EXPECT_EQ(figure.ticks.back().sample, "550");
    EXPECT_LE(figure.ticks.back().x, figure.plotRight);
    for (const qzkit::Panel &panel : figure.panels) {
        EXPECT_EQ(panel.samples.size(), 600u);
    }
}

TEST(PlotFigure, UnusablePeriodLeavesTheAxisInSamples)
{
    for (const float period : {std::numeric_limits<float>::infinity(), -0.004f}) {
        RunFiles files = MadeUpRun(1500, 1, {700});
        files.constants.Period = period;
        const Figure figure = BuildFigure(files, {});
        ASSERT_FALSE(figure.ticks.empty());
        EXPECT_TRUE(figure.ticks.front().seconds.empty());
        EXPECT_EQ(figure.ticks[1].sample, "200");
        EXPECT_TRUE(AnyLineContains(figure, "is unusable: time axis in samples"));
    }
}

struct ClassificationCase {
    const char *name;
    bool used;
    std::uint16_t peakCount;
    std::optional<std::uint16_t> method;
    std::uint32_t highBucket;
    const char *text;
};

class PlotClassification : public ::testing::TestWithParam<ClassificationCase> {};

TEST_P(PlotClassification, TitleSaysWhetherAMethodRanAndWhich)
{
    const ClassificationCase &c = GetParam();
    RunFiles files = MadeUpRun(1500, c.peakCount, EvenlySpaced(c.peakCount, 100, 200));
    files.result.usedBeatClassification = c.used;
    files.result.statistics.highBucket = c.highBucket;
    RunSettings settings;
    settings.beatMethod = c.method;
    const Figure figure = BuildFigure(files, settings);
    EXPECT_EQ(figure.title.classification, c.text);
    EXPECT_TRUE(AnyLineContains(figure, std::string("Beat classification: ") + c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Methods, PlotClassification,
    ::testing::Values(
        ClassificationCase{"NoPeaks", false, 0, std::nullopt, 0, "not used (no peaks)"},
        ClassificationCase{"OnePeak", false, 1, std::nullopt, 0, "not used (one peak)"},
        ClassificationCase{"Regular", false, 5, 1, 0, "not used (regular peaks: single or average interval)"},
        ClassificationCase{"Template", true, 5, 1, 0, "template matching (method 1)"},
        ClassificationCase{"LevelBased", true, 5, 2, 0x15, "level-based throw-out (method 2)"},
        ClassificationCase{"StatisticalFromAnyOtherValue", true, 5, 6, 0, "statistical (method 6)"},
        ClassificationCase{"LevelBasedSeenInTheBuckets", true, 5, std::nullopt, 0x3,
                           "level-based throw-out (method 2, seen in the peak buckets)"},
        ClassificationCase{"NotRecorded", true, 5, std::nullopt, 0,
                           "template matching or statistical (the record does not say which; pass --method)"}),
    [](const ::testing::TestParamInfo<ClassificationCase> &testInfo) { return std::string(testInfo.param.name); });

TEST(PlotFigure, TitleCarriesTheResultAndTheStatistics)
{
    RunFiles files = MadeUpRun(1500, 7, EvenlySpaced(7, 90, 208));
    files.result.bpm = 72;
    files.result.statistics.qiPattern = 0x400;
    files.result.statistics.maxPeak = 300;
    files.result.statistics.tegur = 70000;
    const Figure figure = BuildFigure(files, {});
    EXPECT_EQ(figure.headline, "rec   BPM 72   QI 0   7 peaks");
    EXPECT_EQ(figure.title.bpm, 72u);
    EXPECT_EQ(figure.title.statistics, files.result.statistics);
    EXPECT_TRUE(AnyLineContains(figure, "tm2: QI pattern 0x400, MaxPeak 300, MinPeak 0"));
    EXPECT_TRUE(AnyLineContains(figure, "Tegur 70000"));
    EXPECT_TRUE(AnyLineContains(figure, "thresholdmethod.info: not found"));
    EXPECT_TRUE(AnyLineContains(figure, "1:90 2:298 3:506"));
    EXPECT_TRUE(AnyLineContains(figure, "1500 samples of 0.004 s (250 Hz) from constants ecg250"));
}

TEST(PlotFigure, HeadlineExplainsBadResults)
{
    RunFiles files = MadeUpRun(1500, 1, {700});
    files.result.bpm = 60;
    files.result.qi = 3;
    EXPECT_EQ(BuildFigure(files, {}).headline,
              "rec   BPM 60 (the one-peak rate of the constants)   QI 3 (bad measurement)   1 peak");
    files = MadeUpRun(1500, 30, EvenlySpaced(25, 20, 50));
    files.result.bpm = 300;
    files.result.qi = 3;
    EXPECT_TRUE(Contains(BuildFigure(files, {}).headline, "BPM 300 (outside 30..240)   QI 3 (bad measurement)"));
}

TEST(PlotFigure, MethodDumpIsComparedWithTheResultRecord)
{
    RunFiles files = MadeUpRun(1500, 1, {700});
    files.methodDump = files.result.statistics;
    EXPECT_TRUE(AnyLineContains(BuildFigure(files, {}), "the same statistics as the result record"));
    files.methodDump->tegur = 1;
    EXPECT_TRUE(AnyLineContains(BuildFigure(files, {}), "differs from the result record"));
}

}  // namespace
