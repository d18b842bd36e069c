// SPDX-License-Identifier: Apache-2.0
// One in-process run gives what one run of the tool leaves: the result
// record word for word, every stage dump and the method dump.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ToolRunner.h"
#include "ToolkitError.h"
#include "constants/ConstantsImage.h"
#include "io/EcgFile.h"
#include "io/StageDumps.h"
#include "run/LibraryRun.h"

namespace {

const std::filesystem::path kExamples(QZ_EXAMPLES_DIR);

qzkit::ConstantsImage Constants()
{
    return qzkit::ReadConstantsFile(kExamples / "ecg250.pvx.filters.v1");
}

struct ToolRun {
    const char *record;
    qz::run_settings_struct settings;
};

class LibraryRunAsTheTool : public ::testing::TestWithParam<ToolRun> {};

TEST_P(LibraryRunAsTheTool, SameRecordStageDumpsAndMethodDump)
{
    const ToolRun c = GetParam();
    const qz::run_settings_struct &s = c.settings;
    qztest::TempDir dir;
    std::filesystem::copy_file(kExamples / "ecg250.pvx.filters.v1", dir / "ecg250.pvx.filters.v1");
    std::filesystem::copy_file(kExamples / (std::string(c.record) + ".ecg"), dir / "rec.ecg");
    ASSERT_EQ(qztest::RunProcess(QZ_TOOL_PATH,
                                 {"ecg250", "rec", std::to_string(s.StageMask), std::to_string(s.PeakDetection),
                                  std::to_string(s.BeatMethod), std::to_string(s.DerivativeOrder)},
                                 dir.path())
                  .status,
              0);

    const qzkit::LibraryRun run = qzkit::RunLibrary(Constants(), s, qzkit::ReadEcgFile(dir / "rec.ecg"), true);
    const std::vector<std::uint16_t> record = qztest::ReadWords(dir / "rec.out");
    EXPECT_EQ(std::vector<std::uint16_t>(run.words.begin(), run.words.end()), record);
    EXPECT_EQ(run.result.peakCount, record[3]);
    for (std::size_t stage = 0; stage < qzkit::kDumpStageCount; ++stage) {
        const std::filesystem::path dump = dir / (std::string("rec") + qzkit::DumpStages()[stage].extension);
        ASSERT_EQ(run.stages[stage].has_value(), std::filesystem::exists(dump)) << dump;
        if (run.stages[stage]) {
            EXPECT_EQ(*run.stages[stage], qztest::ReadWords(dump)) << dump;
        }
    }
    const std::filesystem::path methodDump = dir / "thresholdmethod.info";
    ASSERT_EQ(run.methodDump.has_value(), std::filesystem::exists(methodDump));
    if (run.methodDump) {
        EXPECT_EQ(*run.methodDump, qzkit::ParseStatistics(qztest::ReadBytes(methodDump), "method dump"));
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, LibraryRunAsTheTool,
                         ::testing::Values(ToolRun{"ecg_72bpm", {127, 1, 2, 5}}, ToolRun{"ecg_60bpm_600", {127, 0, 1, 2}},
                                           ToolRun{"ppg_66bpm", {31, 1, 3, 2}}));

TEST(LibraryRun, EveryRunStartsFromTheSameStateAndWritesNoFile)
{
    qztest::TempDir dir;
    const qztest::ScopedCwd cwd(dir.path());
    const auto window = qzkit::ReadEcgFile(kExamples / "ecg_72bpm.ecg");
    const qzkit::LibraryRun first = qzkit::RunLibrary(Constants(), {}, window, true);
    (void)qzkit::RunLibrary(Constants(), {127, 0, 3, 5}, std::vector<std::uint16_t>(600, 700));
    const qzkit::LibraryRun again = qzkit::RunLibrary(Constants(), {}, window);
    EXPECT_EQ(again.words, first.words);
    EXPECT_FALSE(again.stages[0].has_value());
    EXPECT_TRUE(qztest::ListDirectory(dir.path()).empty());
}

TEST(LibraryRun, UsesTheLowTenBitsAndRefusesOtherLengths)
{
    std::vector<std::uint16_t> window = qzkit::ReadEcgFile(kExamples / "ecg_72bpm.ecg");
    const qzkit::LibraryRun plain = qzkit::RunLibrary(Constants(), {}, window);
    for (std::uint16_t &sample : window) {
        sample = static_cast<std::uint16_t>(sample | 0xFC00u);
    }
    EXPECT_EQ(qzkit::RunLibrary(Constants(), {}, window).words, plain.words);
    EXPECT_THROW(qzkit::RunLibrary(Constants(), {}, std::vector<std::uint16_t>(1000, 512)), qzkit::ToolkitError);
}

}  // namespace
