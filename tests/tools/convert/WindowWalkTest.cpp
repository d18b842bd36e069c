// SPDX-License-Identifier: Apache-2.0
// The windows cut while a record is read are the windows convert writes.
#include <gtest/gtest.h>

#include "convert/Convert.h"
#include "convert/WindowWalk.h"
#include "io/EcgFile.h"
#include "SharedData.h"
#include "ToolRunner.h"

namespace {

struct WalkCase {
    std::size_t length;
    std::size_t step;
    double acCouplingHz;
};

class WindowWalkOfRecordHundred : public ::testing::TestWithParam<WalkCase> {};

// Record 100 (360 Hz, resampled to 250 Hz) read in pieces: every window
// with the start and the samples convert gives it.
TEST_P(WindowWalkOfRecordHundred, GivesConvertsWindows)
{
    const std::filesystem::path record = qztest::SharedDataDir() / "ecg" / "mitdb-100" / "100.hea";
    if (!std::filesystem::exists(record)) {
        GTEST_SKIP() << record.string() << " not found (set QZ_SHARED_DIR)";
    }
    qztest::TempDir dir;
    qzkit::ConvertOptions options;
    options.input = record;
    options.windowLength = GetParam().length;
    options.step = GetParam().step;
    options.acCouplingHz = GetParam().acCouplingHz;
    options.outputDirectory = dir.path();
    const qzkit::ConvertReport converted = qzkit::Convert(options);
    qzkit::WindowWalk walk(options);
    for (const qzkit::ManifestEntry &entry : converted.windows) {
        const std::optional<qzkit::WalkedWindow> window = walk.Next();
        ASSERT_TRUE(window) << entry.file;
        EXPECT_EQ(window->start, entry.startSample);
        ASSERT_EQ(window->samples, qzkit::ReadEcgFile(dir / entry.file)) << entry.file;
    }
    EXPECT_FALSE(walk.Next());
}

INSTANTIATE_TEST_SUITE_P(Options, WindowWalkOfRecordHundred,
                         ::testing::Values(WalkCase{1500, 0, 0.0}, WalkCase{600, 450, 0.5}));

}  // namespace
