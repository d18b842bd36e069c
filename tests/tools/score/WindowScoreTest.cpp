// SPDX-License-Identifier: Apache-2.0
// Beat-by-beat scores of whole windows: synthetic recordings with known
// beats, a reference with one beat taken out and one put in, and the edge
// rule on hand-placed peaks.
#include <gtest/gtest.h>

#include "run/LibraryRun.h"
#include "run/StageDelays.h"
#include "score/WindowScore.h"
#include "signal/Synth.h"
#include "TestBuffers.h"

namespace {

using qzkit::BeatCounts;

qzkit::ConstantsImage EcgConstants()
{
    const std::vector<qz::BYTE> image = qztest::EcgConstantsImage();
    qzkit::ConstantsImage constants{};
    std::copy(image.begin(), image.end(), constants.begin());
    return constants;
}

struct SynthWindow {
    double bpm;
    std::size_t length;
    std::size_t beats;    // counted on the synthetic beat list
    std::size_t matched;  // all but an edge beat the estimator leaves open
};

class SynthWindowBeats : public ::testing::TestWithParam<SynthWindow> {};

TEST_P(SynthWindowBeats, EveryBeatFoundThenOneExtraAndOneMissed)
{
    qzkit::SynthOptions options;
    options.bpm = GetParam().bpm;
    options.length = GetParam().length;
    options.noise = 3.0;
    const qzkit::SynthRecording recording = qzkit::Synthesize(options);
    ASSERT_EQ(recording.beats.size(), GetParam().beats);
    const qzkit::ResultRecord estimate = qzkit::RunLibrary(EcgConstants(), {}, recording.samples).result;
    const qzkit::BeatWindow window{0, recording.samples.size(), recording.rate, qzkit::PeakDelay(127, 2)};

    qzkit::ReferenceBeats truth = qzkit::SynthReference(recording);
    const auto score = [&](const qzkit::ReferenceBeats &beats) {
        const auto reference = qzkit::ReferenceForWindow(beats, 0, window.length, window.rate);
        return qzkit::ScoreWindowBeats(estimate, window, qzkit::WindowBeatTimes(beats, reference)).counts;
    };
    const std::size_t n = GetParam().matched;
    EXPECT_EQ(score(truth), (BeatCounts{n, 0, 0}));

    qzkit::ReferenceBeats oneTakenOut = truth;  // the estimator's beat there is extra
    oneTakenOut.ticks.erase(oneTakenOut.ticks.begin() + 1);
    EXPECT_EQ(score(oneTakenOut), (BeatCounts{n - 1, 0, 1}));

    qzkit::ReferenceBeats onePutIn = truth;  // a beat half-way between two: missed
    onePutIn.ticks.insert(onePutIn.ticks.begin() + 2, (truth.ticks[1] + truth.ticks[2]) / 2.0);
    EXPECT_EQ(score(onePutIn), (BeatCounts{n, 1, 0}));
}

INSTANTIATE_TEST_SUITE_P(HandCounted, SynthWindowBeats,
                         ::testing::Values(SynthWindow{60.0, 1500, 6, 6}, SynthWindow{75.0, 1500, 8, 7},
                                           SynthWindow{110.0, 600, 4, 4}));

// Peaks at the given window samples (the beats, with no stage delay), as
// the estimator stores and counts them.
qzkit::ResultRecord PeaksAt(const std::vector<std::size_t> &samples, std::size_t counted)
{
    qzkit::ResultRecord estimate;
    estimate.peakCount = static_cast<std::uint16_t>(counted);
    for (std::size_t i = 0; i < samples.size() && i < estimate.peakLocations.size(); ++i) {
        estimate.peakLocations[i] = static_cast<std::uint16_t>(samples[i] + 1u);
    }
    return estimate;
}

// A 6 s window at 250 Hz: within 150 ms of either end, and in the samples
// the stage delay moves past the end, a beat counts only when matched.
TEST(WindowBeats, EdgeBeatsCountOnlyWhenMatched)
{
    const struct {
        const char *name;
        std::vector<std::size_t> found;  // window samples
        std::vector<double> reference;   // recording seconds
        std::size_t start = 0;
        std::size_t delay = 0;
        BeatCounts counts;
    } cases[] = {
        {"inside", {250, 500}, {1.0, 2.0}, 0, 0, {2, 0, 0}},
        {"reference beats at the edges missed", {250}, {0.1, 1.0, 5.9}, 0, 0, {1, 0, 0}},
        {"found beats at the edges unmatched", {25, 250, 1475}, {1.0}, 0, 0, {1, 0, 0}},
        {"edge beats matched", {25, 1487}, {0.12, 5.95}, 0, 0, {2, 0, 0}},
        {"from 150 ms in: missed, and 3.0 extra", {250, 750}, {0.15, 1.0, 5.84}, 0, 0, {1, 2, 1}},
        {"a 200 ms delay widens the end", {250}, {1.0, 5.82}, 0, 50, {1, 0, 0}},
        {"on the recording's time axis", {25, 250}, {7.0, 8.0}, 1500, 0, {1, 1, 0}},
    };
    for (const auto &c : cases) {
        std::vector<std::size_t> stored = c.found;
        std::transform(stored.begin(), stored.end(), stored.begin(), [&c](std::size_t s) { return s + c.delay; });
        const qzkit::BeatWindow window{c.start, 1500, 250.0, c.delay};
        EXPECT_EQ(qzkit::ScoreWindowBeats(PeaksAt(stored, stored.size()), window, c.reference).counts, c.counts)
            << c.name;
    }
}

TEST(WindowBeats, OnlyCountedPeaksAreFoundAndBeyondTwentyFiveTheStoredOnesAreScored)
{
    const qzkit::BeatWindow window{0, 1500, 250.0, 0};
    // An open peak at the end is stored but not counted: not a found beat.
    const auto open = qzkit::ScoreWindowBeats(PeaksAt({250, 1250}, 1), window, {1.0, 5.0});
    EXPECT_EQ(open.counts, (BeatCounts{1, 1, 0}));
    EXPECT_EQ(open.found, 1u);

    std::vector<std::size_t> samples;  // a beat every 45 samples
    std::vector<double> reference;
    for (std::size_t i = 0; i < 30; ++i) {
        samples.push_back(60 + 45 * i);
        reference.push_back(static_cast<double>(60 + 45 * i) / 250.0);
    }
    const auto score = qzkit::ScoreWindowBeats(PeaksAt(samples, 30), window, reference);
    EXPECT_TRUE(score.truncated);
    EXPECT_EQ(score.counts, (BeatCounts{25, 0, 0}));
}

}  // namespace
