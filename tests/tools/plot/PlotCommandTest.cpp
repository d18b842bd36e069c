// SPDX-License-Identifier: Apache-2.0
// qzkit plot as a user runs it: on the files a run left, or with --run from
// the recording alone; bad input gives one error line, status 1 and no
// picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "signal/Synth.h"
#include "ToolRunner.h"

namespace {

const std::filesystem::path kConstants = std::filesystem::path(QZ_EXAMPLES_DIR) / "ecg250.pvx.filters.v1";

// A directory holding rec.ecg (a synthetic ECG) and ecg250.pvx.filters.v1.
struct Inputs {
    qztest::TempDir dir;

    Inputs()
    {
        qztest::WriteSamples(dir / "rec.ecg", qzkit::Synthesize(qzkit::SynthOptions{}).samples);
        std::filesystem::copy_file(kConstants, dir / "ecg250.pvx.filters.v1");
    }
};

qztest::RunResult Plot(const Inputs &inputs, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "plot");
    return qztest::RunProcess(QZKIT_PATH, arguments, inputs.dir.path());
}

TEST(PlotCommand, RunThenPlotInOneCommand)
{
    const Inputs inputs;
    const qztest::RunResult result =
        Plot(inputs, {"--run", "rec.ecg", "-c", "ecg250", "-o", "picture.svg"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "wrote picture.svg and picture.png: rec   BPM 72   QI 0   7 peaks\n");
    EXPECT_EQ(qztest::ListDirectory(inputs.dir.path()),
              (std::vector<std::filesystem::path>{"ecg250.pvx.filters.v1", "picture.png", "picture.svg", "rec.ecg"}))
        << "the run writes no file of its own";
    EXPECT_GT(std::filesystem::file_size(inputs.dir / "picture.png"), 10000u);
}

struct FailureCase {
    const char *name;
    std::vector<std::string> arguments;
    const char *message;
};

class PlotCommandFails : public ::testing::TestWithParam<FailureCase> {};

TEST_P(PlotCommandFails, WithOneLineAndNoPicture)
{
    const Inputs inputs;
    qztest::WriteSamples(inputs.dir / "short.ecg", std::vector<std::uint16_t>(1000, 512));
    const auto before = qztest::ListDirectory(inputs.dir.path());
    const qztest::RunResult result = Plot(inputs, GetParam().arguments);
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(qztest::ListDirectory(inputs.dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PlotCommandFails,
    ::testing::Values(
        FailureCase{"NoRunYet", {"rec", "-c", "ecg250"}, "qzkit plot: error: cannot open rec.out"},
        FailureCase{"NoConstants", {"rec", "-c", "nothing"}, "cannot open nothing.pvx.filters.v1"},
        FailureCase{"RecordingTheToolWouldNotRead",
                    {"--run", "short", "-c", "ecg250"},
                    "short.ecg: 1000 samples; the tool reads 1500 samples or exactly 600"},
        FailureCase{"OutputDirectoryMissing",
                    {"--run", "rec", "-c", "ecg250", "-o", "missing/picture"},
                    "cannot create missing/picture.svg"}),
    [](const ::testing::TestParamInfo<FailureCase> &testInfo) { return std::string(testInfo.param.name); });

}  // namespace
