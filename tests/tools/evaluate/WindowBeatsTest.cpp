// Beat-by-beat scores of whole windows: synthetic recordings with known
// beats, and a reference with one beat taken out and one put in.
#include <gtest/gtest.h>

#include "evaluate/WindowBeats.h"
#include "run/LibraryRun.h"
#include "run/StageDelays.h"
#include "signal/Synth.h"
#include "TestBuffers.h"

namespace {

using qzkit::BeatCounts;

qzkit::ConstantsImage EcgConstants()
{
    const std::vector<BYTE> image = qztest::EcgConstantsImage();
    qzkit::ConstantsImage constants{};
    std::copy(image.begin(), image.end(), constants.begin());
    return constants;
}

struct SynthWindow {
    double bpm;
    std::size_t length;
    std::size_t beats;  // counted on the synthetic beat list
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
    const std::size_t delay = qzkit::PeakDelay(127, 2);
    const qzkit::ManifestEntry window{"w.ecg", 0, recording.samples.size(), recording.rate, {}, {}};

    qzkit::ReferenceBeats truth = qzkit::SynthReference(recording);
    const auto score = [&](const qzkit::ReferenceBeats &beats) {
        const auto reference = qzkit::ReferenceForWindow(beats, 0, window.samples, window.rate);
        return qzkit::ScoreWindowBeats(estimate, delay, window, beats, reference).counts;
    };
    const std::size_t n = GetParam().beats;
    EXPECT_EQ(score(truth), (BeatCounts{n, 0, 0}));

    qzkit::ReferenceBeats oneTakenOut = truth;  // the estimator's beat there is extra
    oneTakenOut.ticks.erase(oneTakenOut.ticks.begin() + 1);
    EXPECT_EQ(score(oneTakenOut), (BeatCounts{n - 1, 0, 1}));

    qzkit::ReferenceBeats onePutIn = truth;  // a beat half-way between two: missed
    onePutIn.ticks.insert(onePutIn.ticks.begin() + 2, (truth.ticks[1] + truth.ticks[2]) / 2.0);
    EXPECT_EQ(score(onePutIn), (BeatCounts{n, 1, 0}));
}

INSTANTIATE_TEST_SUITE_P(HandCounted, SynthWindowBeats,
                         ::testing::Values(SynthWindow{60.0, 1500, 6}, SynthWindow{75.0, 1500, 8},
                                           SynthWindow{110.0, 600, 4}));

TEST(WindowBeats, MoreThanTwentyFivePeaksScoredOnTheStoredOnes)
{
    qzkit::ResultRecord estimate;
    estimate.peakCount = 30;
    qzkit::ReferenceBeats beats;  // a beat every 50 samples at 250 Hz, ticks in samples
    beats.ticksPerSecond = 250.0;
    for (std::size_t i = 0; i < 30; ++i) {
        beats.ticks.push_back(static_cast<double>(20 + 50 * i));
        if (i < estimate.peakLocations.size()) {
            estimate.peakLocations[i] = static_cast<std::uint16_t>(20 + 50 * i + 1);
        }
    }
    const qzkit::ManifestEntry window{"w.ecg", 0, 1500, 250.0, {}, {}};
    const auto score = qzkit::ScoreWindowBeats(estimate, 0, window, beats, qzkit::ReferenceForWindow(beats, 0, 1500, 250.0));
    EXPECT_TRUE(score.truncated);
    EXPECT_EQ(score.counts, (BeatCounts{25, 0, 0}));
}

}  // namespace
