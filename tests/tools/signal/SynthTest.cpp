#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "signal/Synth.h"
#include "ToolRunner.h"
#include "ToolkitError.h"

namespace {

using qzkit::SynthOptions;
using qzkit::Synthesize;
using qzkit::WaveKind;

// True when sample `index` is the largest within +-radius samples.
bool IsLocalMaximum(const std::vector<std::uint16_t> &samples, std::size_t index, std::size_t radius)
{
    const std::size_t first = index >= radius ? index - radius : 0;
    const std::size_t last = std::min(samples.size() - 1, index + radius);
    const auto largest = std::max_element(samples.begin() + static_cast<std::ptrdiff_t>(first),
                                          samples.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    return *largest == samples[index];
}

struct RegularCase {
    WaveKind kind;
    double bpm;
    double rate;
    std::size_t length;
};

class SynthRegularRhythm : public ::testing::TestWithParam<RegularCase> {};

TEST_P(SynthRegularRhythm, BeatsAreEvenlySpacedPeaksOnTheSampleGrid)
{
    const RegularCase c = GetParam();
    SynthOptions options;
    options.kind = c.kind;
    options.bpm = c.bpm;
    options.rate = c.rate;
    options.length = c.length;
    const auto recording = Synthesize(options);

    ASSERT_EQ(recording.samples.size(), c.length);
    const double interval = 60.0 / c.bpm * c.rate;
    const double duration = static_cast<double>(c.length) / c.rate;
    EXPECT_NEAR(static_cast<double>(recording.beats.size()), duration * c.bpm / 60.0, 1.0);
    for (std::size_t i = 0; i < recording.beats.size(); ++i) {
        const auto &beat = recording.beats[i];
        EXPECT_LT(beat.sample, c.length);
        EXPECT_NEAR(beat.time * c.rate, static_cast<double>(beat.sample), 1e-6);
        EXPECT_TRUE(IsLocalMaximum(recording.samples, beat.sample, static_cast<std::size_t>(interval / 3.0)))
            << "beat " << i << " at " << beat.sample;
        if (i > 0) {
            const double spacing = static_cast<double>(beat.sample - recording.beats[i - 1].sample);
            EXPECT_NEAR(spacing, interval, 1.0);
        }
    }
    EXPECT_NEAR(qzkit::TrueBpm(recording), c.bpm, c.bpm * 0.01);
}

INSTANTIATE_TEST_SUITE_P(KindsRatesAndLengths, SynthRegularRhythm,
                         ::testing::Values(RegularCase{WaveKind::Ecg, 60.0, 250.0, 1500},
                                           RegularCase{WaveKind::Ecg, 150.0, 250.0, 600},
                                           RegularCase{WaveKind::Ecg, 45.0, 360.0, 3600},
                                           RegularCase{WaveKind::Pulse, 72.0, 250.0, 1500},
                                           RegularCase{WaveKind::Pulse, 180.0, 100.0, 600}));

}  // namespace
