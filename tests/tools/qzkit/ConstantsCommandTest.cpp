#include <gtest/gtest.h>

#include <fstream>

#include "ToolRunner.h"

namespace {

using qztest::RunProcess;

const std::vector<std::uint8_t> kProvisionalEcg{0xFA, 0x00, 0x00, 0x00, 0x12, 0x83, 0x3B, 0xF0, 0x00, 0x1E, 0x00,
                                                0x3C, 0x01, 0x02, 0x03, 0x04, 0x05, 0x1E, 0xEC, 0x2F, 0xC0, 0xCE,
                                                0x21, 0x40, 0x13, 0x47, 0xBF, 0x01, 0x03, 0x00, 0x00};

void WriteText(const std::filesystem::path &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

TEST(ConstantsCommand, ShowWarnsInCommentsSoTheTextStillMakesTheFile)
{
    qztest::TempDir dir;
    std::vector<std::uint8_t> bytes = kProvisionalEcg;
    bytes[9] = 0xFF;  // MinBPM 255 above MaxBPM 240
    bytes.push_back(0x00);
    qztest::WriteBytes(dir / "odd.pvx.filters.v1", bytes);
    const auto shown = RunProcess(QZKIT_PATH, {"constants", "show", "odd.pvx.filters.v1"}, dir.path());
    ASSERT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("# note: 1 more bytes follow"), std::string::npos);
    EXPECT_NE(shown.out.find("# warning: MinBPM 255 is above MaxBPM 240"), std::string::npos) << shown.out;

    WriteText(dir / "odd.txt", shown.out);
    const auto made = RunProcess(QZKIT_PATH, {"constants", "make", "odd.txt", "odd2.pvx.filters.v1"}, dir.path());
    EXPECT_EQ(made.status, 0);
    EXPECT_NE(made.err.find("warning: MinBPM 255 is above MaxBPM 240"), std::string::npos);
    bytes.pop_back();
    EXPECT_EQ(qztest::ReadBytes(dir / "odd2.pvx.filters.v1"), bytes);
}

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
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("unstable or more than 1 dB off"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.pvx.filters.v1"));
}

}  // namespace
