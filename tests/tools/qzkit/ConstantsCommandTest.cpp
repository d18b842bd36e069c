// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "ToolRunner.h"

namespace {

using qztest::RunProcess;

TEST(ConstantsCommand, DesignWritesTheFileAndItsAnnotatedSource)
{
    qztest::TempDir dir;
    const auto designed = RunProcess(QZKIT_PATH,
                                     {"constants", "design", "--rate", "250", "--lowpass", "20", "--highpass", "5",
                                      "--out", "d.pvx.filters.v1", "--text", "d.txt"},
                                     dir.path());
    ASSERT_EQ(designed.status, 0) << designed.err;
    EXPECT_NE(designed.out.find("Low-pass: taps 3, 11, 24, 40, 53"), std::string::npos) << designed.out;
    const auto made = RunProcess(QZKIT_PATH, {"constants", "make", "d.txt", "m.pvx.filters.v1"}, dir.path());
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err, "");
    EXPECT_EQ(qztest::ReadBytes(dir / "m.pvx.filters.v1"), qztest::ReadBytes(dir / "d.pvx.filters.v1"));

    const auto refused =
        RunProcess(QZKIT_PATH, {"constants", "design", "--highpass", "0.2", "--out", "x.pvx.filters.v1"}, dir.path());
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("unstable or more than 1 dB off"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.pvx.filters.v1"));
}

// Like every other command, `constants show` takes the base name the tool is
// given as well as the file's own name.
TEST(ConstantsCommand, ShowTakesTheBaseName)
{
    const std::filesystem::path examples = QZ_EXAMPLES_DIR;
    const auto named = RunProcess(QZKIT_PATH, {"constants", "show", "ecg250.pvx.filters.v1"}, examples);
    const auto base = RunProcess(QZKIT_PATH, {"constants", "show", "ecg250"}, examples);
    ASSERT_EQ(base.status, 0) << base.err;
    EXPECT_EQ(base.out, named.out);
}

}  // namespace
