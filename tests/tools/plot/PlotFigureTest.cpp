// SPDX-License-Identifier: Apache-2.0
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
    ::testing::Values(DelayCase{"FullChainTwoPoint", 127, 2, 12, 5}, DelayCase{"LowPassOnly", 1 | 32 | 64, 2, 4, 1},
                      DelayCase{"NoConditioning", 32 | 64, 2, 0, 0}),
    [](const ::testing::TestParamInfo<DelayCase> &testInfo) { return std::string(testInfo.param.name); });

}  // namespace
