// SPDX-License-Identifier: Apache-2.0
// The whole chain, run as the tool on synthetic ECG recordings whose true
// rate is known, with the shipped ECG constants.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "signal/Synth.h"
#include "ToolRunner.h"

namespace {

struct Outcome {
    int bpm = -1;
    int qi = -1;
    int classified = -1;  // 1 when a beat-classification method chose the interval
};

Outcome RunOnRecording(const qzkit::SynthRecording &recording, const std::string &beatMethod = "1")
{
    qztest::TempDir dir;
    std::filesystem::copy_file(std::filesystem::path(QZ_EXAMPLES_DIR) / "ecg250.pvx.filters.v1",
                               dir / "ecg250.pvx.filters.v1");
    qztest::WriteSamples(dir / "rec.ecg", recording.samples);
    const auto result = qztest::RunProcess(QZ_TOOL_PATH, {"ecg250", "rec", "127", "1", beatMethod}, dir.path());
    EXPECT_EQ(result.status, 0) << result.out;
    const auto words = qztest::ReadWords(dir / "rec.out");
    if (words.size() != 43) {
        return {};
    }
    return {words[0], words[1], words[2]};
}

TEST(EndToEnd, PrematureBeatsGoToBeatClassification)
{
    qzkit::SynthOptions options;
    options.bpm = 75;
    options.ectopicFraction = 0.15;
    options.noise = 4;
    options.seed = 2;
    const auto recording = qzkit::Synthesize(options);
    const auto templateMatched = RunOnRecording(recording, "1");
    EXPECT_EQ(templateMatched.classified, 1);
    EXPECT_NEAR(templateMatched.bpm, qzkit::TrueBpm(recording), 2.0);
    EXPECT_GE(templateMatched.qi, 1);  // an irregular record never earns the best quality here

    const auto statistical = RunOnRecording(recording, "3");
    EXPECT_EQ(statistical.classified, 1);
    EXPECT_NEAR(statistical.bpm, qzkit::TrueBpm(recording), 2.0);
}

}  // namespace
