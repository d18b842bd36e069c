// SPDX-License-Identifier: Apache-2.0
// The stream as the device sees it: when estimates fall, what is clipped,
// how a firmware's windows are judged, and the live view's screen.
#include <gtest/gtest.h>

#include <algorithm>

#include "constants/ConstantsImage.h"
#include "monitor/LiveView.h"
#include "monitor/MonitorSession.h"
#include "run/StageDelays.h"
#include "TestBuffers.h"

namespace {

qzkit::MonitorSettings Settings(std::size_t step)
{
    qzkit::MonitorSettings settings;
    const std::vector<qz::BYTE> image = qztest::EcgConstantsImage();
    std::copy(image.begin(), image.end(), settings.constants.begin());
    settings.rate = 250.0;
    settings.window = 600;
    settings.step = step;
    return settings;
}

TEST(MonitorSession, EstimatesFallEveryStepOnceAWindowIsFull)
{
    qzkit::MonitorSession session(Settings(250));
    const std::vector<qz::UINT16> samples = qztest::RandomSamples(1400, 7);
    std::vector<std::uint64_t> ends;
    for (const qz::UINT16 sample : samples) {
        if (const auto estimate = session.AddSample(sample)) {
            ends.push_back(estimate->end);
            EXPECT_EQ(estimate->window, std::vector<std::uint16_t>(samples.begin() + static_cast<std::ptrdiff_t>(estimate->start),
                                                                   samples.begin() + static_cast<std::ptrdiff_t>(estimate->end)));
        }
    }
    EXPECT_EQ(ends, (std::vector<std::uint64_t>{600, 850, 1100, 1350}));
    for (const std::int64_t value : {-5, 1024, 1023, 0, 70000}) {
        session.AddSample(value);
    }
    EXPECT_EQ(session.Clipped(), 3u);
}

TEST(MonitorSession, FirmwareWindowsAreJudgedOnlyWhenAllTheirSamplesArrived)
{
    qzkit::MonitorSession session(Settings(0));
    const std::vector<qz::UINT16> samples = qztest::RandomSamples(3700, 9);
    for (const qz::UINT16 sample : samples) {
        EXPECT_FALSE(session.AddSample(sample)) << "in a check the firmware's windows count";
    }
    const qzkit::Estimate right = session.CheckDeviceResult({3000, 600, {}});
    qzkit::DeviceResult reported{3000, 600, right.run.words};
    EXPECT_EQ(session.CheckDeviceResult(reported).verdict, qzkit::CheckVerdict::Identical);
    reported.words[42] ^= 1u;
    EXPECT_EQ(session.CheckDeviceResult(reported).verdict, qzkit::CheckVerdict::Differs);
    const struct {
        std::uint64_t end;
        const char *why;
    } missing[] = {{3701, "not received yet (a line was lost)"}, {1299, "older than the 3000 samples kept"}};
    for (const auto &c : missing) {
        const qzkit::Estimate estimate = session.CheckDeviceResult({c.end, 600, {}});
        EXPECT_EQ(estimate.verdict, qzkit::CheckVerdict::NotInStream) << c.why;
        EXPECT_TRUE(estimate.window.empty()) << c.why;
        EXPECT_EQ(estimate.start, c.end - 600) << c.why;
    }
}

// Characters on a line of UTF-8 text.
std::size_t Width(const std::string &line)
{
    return static_cast<std::size_t>(
        std::count_if(line.begin(), line.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0u) != 0x80u; }));
}

TEST(LiveView, FitsTheTerminalAndMarksThePeaks)
{
    qzkit::MonitorSession session(Settings(600));
    std::optional<qzkit::Estimate> estimate;
    for (std::size_t i = 0; i < 600; ++i) {
        estimate = session.AddSample(i % 200 == 100 ? 900 : 300);  // a spike every 200 samples
    }
    ASSERT_TRUE(estimate);
    qzkit::LiveViewState state;
    state.title = std::string(300, 't');
    state.peakDelay = qzkit::PeakDelay(QZ_STAGE_ALL, QZ_DERIVATIVE_TWO_POINT);
    state.latest = &*estimate;
    for (const auto &[columns, rows] : {std::pair<std::size_t, std::size_t>{60, 12}, {200, 60}}) {
        const std::vector<std::string> lines = qzkit::LiveViewLines(state, columns, rows);
        EXPECT_LE(lines.size(), rows);
        for (const std::string &line : lines) {
            EXPECT_LE(Width(line), columns) << line;
        }
    }
    const std::vector<std::string> lines = qzkit::LiveViewLines(state, 120, 40);
    const auto chart = std::find(lines.begin(), lines.end(), "recording, beats marked");
    ASSERT_NE(chart, lines.end());
    std::vector<std::size_t> marks;
    const std::string &marked = *(chart + 1);
    for (std::size_t at = marked.find("\u25bc"); at != std::string::npos; at = marked.find("\u25bc", at + 1)) {
        marks.push_back(Width(marked.substr(0, at)));
    }
    const std::vector<std::size_t> spikes{20, 60, 100};  // samples 100, 300 and 500, five a column
    ASSERT_EQ(marks.size(), spikes.size());
    for (std::size_t i = 0; i < spikes.size(); ++i) {
        EXPECT_LE(marks[i] > spikes[i] ? marks[i] - spikes[i] : spikes[i] - marks[i], 1u) << "beat " << i;
    }
}

}  // namespace
