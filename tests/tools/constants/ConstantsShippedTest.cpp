// SPDX-License-Identifier: Apache-2.0
// The shipped constants sets: made from their text sources, free of warnings,
// and giving the true rate on synthetic recordings across 40 to 200 BPM.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "constants/ConstantsCheck.h"
#include "constants/ConstantsText.h"
#include "run/LibraryRun.h"
#include "signal/Synth.h"

namespace {

const std::filesystem::path kExamples = QZ_EXAMPLES_DIR;

struct ShippedSet {
    const char *name;
    qzkit::WaveKind kind;
    std::uint16_t stageMask;  // the set's recommended mask
};

const ShippedSet kEcg{"ecg250", qzkit::WaveKind::Ecg, 127};
const ShippedSet kPulse{"ppg250", qzkit::WaveKind::Pulse, 115};
// The first shipped sets, kept for results made with them.
const ShippedSet kEcgOriginal{"ecg250-original", qzkit::WaveKind::Ecg, 127};
const ShippedSet kPulseOriginal{"ppg250-original", qzkit::WaveKind::Pulse, 115};

qzkit::ConstantsImage ShippedImage(const ShippedSet &set)
{
    std::size_t extra = 0;
    return qzkit::ReadConstantsFile(kExamples / (std::string(set.name) + ".pvx.filters.v1"), extra);
}

class ShippedConstants : public ::testing::TestWithParam<ShippedSet> {};

TEST_P(ShippedConstants, AreMadeFromTheirTextSourceAndRaiseNoWarning)
{
    const ShippedSet set = GetParam();
    const std::filesystem::path source = kExamples / (std::string(set.name) + ".constants.txt");
    std::ifstream stream(source);
    std::ostringstream text;
    text << stream.rdbuf();
    const qzkit::ConstantsImage image = ShippedImage(set);
    EXPECT_EQ(qzkit::ParseConstantsText(text.str(), source.string()).image, image);
    EXPECT_EQ(qzkit::CheckConstants(image), std::vector<std::string>{});
}

// Beats closer than this to the end of a window come out of the filters'
// delays (4 + 8 samples) too late to be found as peaks.
constexpr std::size_t kLateBeat = 25;

// Beats at least kLateBeat samples before the end of the window.
std::size_t DetectableBeats(const qzkit::SynthRecording &recording)
{
    std::size_t count = 0;
    for (const qzkit::SynthBeat &beat : recording.beats) {
        count += beat.sample + kLateBeat <= recording.samples.size() ? 1u : 0u;
    }
    return count;
}

// Every rate from 40 to 200 BPM in steps of 10, in both window lengths, with
// noise, baseline wander and a little rate variability: every answer not
// marked bad (QI 3) is within 5 BPM of the true rate, and only a window
// without two detectable beats is marked bad.
TEST_P(ShippedConstants, GiveTheTrueRateOnSyntheticRecordings)
{
    const ShippedSet set = GetParam();
    qz::run_settings_struct settings;
    settings.StageMask = set.stageMask;
    const qzkit::ConstantsImage constants = ShippedImage(set);
    for (const std::size_t length : {std::size_t{1500}, std::size_t{600}}) {
        for (int bpm = 40; bpm <= 200; bpm += 10) {
            qzkit::SynthOptions options;
            options.kind = set.kind;
            options.bpm = bpm;
            options.length = length;
            options.variability = 0.02;
            options.noise = set.kind == qzkit::WaveKind::Ecg ? 5.0 : 3.0;
            options.wander = set.kind == qzkit::WaveKind::Ecg ? 40.0 : 60.0;
            options.amplitude = set.kind == qzkit::WaveKind::Ecg ? 250.0 : 120.0;
            options.seed = static_cast<std::uint32_t>(bpm) + static_cast<std::uint32_t>(length);
            const qzkit::SynthRecording recording = qzkit::Synthesize(options);
            if (recording.beats.size() < 2) {
                continue;  // no rate to compare with
            }
            const qzkit::ResultRecord estimate = qzkit::RunLibrary(constants, settings, recording.samples).result;
            if (estimate.qi < 3) {
                EXPECT_NEAR(estimate.bpm, qzkit::TrueBpm(recording), 5.0)
                    << set.name << ": " << bpm << " BPM, " << length << " samples, QI " << estimate.qi;
            } else {
                EXPECT_LT(DetectableBeats(recording), 2u)
                    << set.name << ": " << bpm << " BPM, " << length << " samples";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EcgAndPulse, ShippedConstants,
                         ::testing::Values(kEcg, kPulse, kEcgOriginal, kPulseOriginal),
                         [](const ::testing::TestParamInfo<ShippedSet> &param) {
                             std::string name = param.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
