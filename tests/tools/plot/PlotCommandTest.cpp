// qzkit plot as a user runs it: on the files a run left, or with --run from
// the recording alone; bad input gives one error line, status 1 and no
// picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "plot/PlotToolRun.h"
#include "signal/Synth.h"
#include "ToolkitError.h"
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
        Plot(inputs, {"--run", "rec.ecg", "-c", "ecg250", "--tool", QZ_TOOL_PATH, "-o", "picture.svg"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "wrote picture.svg and picture.png: rec   BPM 72   QI 0   7 peaks\n");
    EXPECT_EQ(qztest::ListDirectory(inputs.dir.path()),
              (std::vector<std::filesystem::path>{"ecg250.pvx.filters.v1", "picture.png", "picture.svg", "rec.ecg"}))
        << "the run's own files stay in its temporary directory";
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
        FailureCase{"ToolRejectsTheRecording",
                    {"--run", "short", "-c", "ecg250", "--tool", QZ_TOOL_PATH},
                    "qz_vozozi_DE failed (status 1): Error in reading record input, read 1000"},
        FailureCase{"NoTool", {"--run", "rec", "-c", "ecg250", "--tool", "/nonexistent/qz_vozozi_DE"},
                    "/nonexistent/qz_vozozi_DE is not an executable file"},
        FailureCase{"OutputDirectoryMissing",
                    {"--run", "rec", "-c", "ecg250", "--tool", QZ_TOOL_PATH, "-o", "missing/picture"},
                    "cannot create missing/picture.svg"}),
    [](const ::testing::TestParamInfo<FailureCase> &testInfo) { return std::string(testInfo.param.name); });

TEST(PlotToolRun, ToolOverItsTimeLimitIsStoppedAndItsFolderRemoved)
{
    const Inputs inputs;
    const qztest::TempDir temporary;
    {
        std::ofstream script(inputs.dir / "hang.sh");
        script << "#!/bin/sh\nsleep 60\n";
    }
    std::filesystem::permissions(inputs.dir / "hang.sh", std::filesystem::perms::owner_all);
    const char *previous = std::getenv("TMPDIR");
    const std::string restore = previous != nullptr ? previous : "";
    setenv("TMPDIR", temporary.path().c_str(), 1);
    qzkit::RunSettings settings{0, 0, 1, 2};
    const auto start = std::chrono::steady_clock::now();
    std::string message;
    try {
        qzkit::RunToolAndRead({inputs.dir / "hang.sh", inputs.dir / "rec", inputs.dir / "ecg250", settings, 0.3});
    } catch (const qzkit::ToolkitError &error) {
        message = error.what();
    }
    EXPECT_NE(message.find("hang.sh did not finish within 0.3 s; stopped"), std::string::npos) << message;
    if (previous != nullptr) {
        setenv("TMPDIR", restore.c_str(), 1);
    } else {
        unsetenv("TMPDIR");  // later tests in this process must not see the removed folder
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));
}

}  // namespace
