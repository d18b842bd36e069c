// SPDX-License-Identifier: Apache-2.0
// One reader decides what a record is: info, export and convert give the
// same verdict on a faulty multi-segment record, and choose channels by the
// same rules.
#include <gtest/gtest.h>

#include <fstream>

#include "ToolRunner.h"

namespace {

qztest::RunResult Qzkit(const std::vector<std::string> &args, const std::filesystem::path &cwd)
{
    return qztest::RunProcess(QZKIT_PATH, args, cwd);
}

struct FaultyLayout {
    std::string header;  // of record "ms", beside segments "a" and "b" of 1500 frames (b: 1000)
    std::string message;
};

class MultiSegmentVerdict : public ::testing::TestWithParam<FaultyLayout> {};

TEST_P(MultiSegmentVerdict, IsTheSameRefusalForEveryCommand)
{
    qztest::TempDir dir;
    for (const char *segment : {"a", "b"}) {
        ASSERT_EQ(Qzkit({"synth", segment, "--wfdb"}, dir.path()).status, 0);
    }
    std::ofstream(dir / "b.hea") << "b 1 250 0\nb.dat 16 200 10 512 0 0 0 synthetic\n";
    std::filesystem::resize_file(dir / "b.dat", 2000);
    std::ofstream(dir / "deep.hea") << "deep/1 1 250 1500\na 1500\n";
    std::ofstream(dir / "ms.hea") << GetParam().header;
    for (const std::vector<std::string> &command : std::vector<std::vector<std::string>>{
             {"info", "ms"}, {"export", "ms", "-o", "out.csv"}, {"convert", "ms", "--output-dir", "out"}}) {
        const auto result = Qzkit(command, dir.path());
        EXPECT_EQ(result.status, 2) << command[0];
        EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << command[0] << ": " << result.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.csv") || std::filesystem::exists(dir / "out"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    FaultyRecords, MultiSegmentVerdict,
    ::testing::Values(FaultyLayout{"ms/2 1 250 3000\na 1500\nb 1500\n",
                                   "the segment holds 1000 frames, the record gives it 1500"},
                      FaultyLayout{"ms/2 1 250 3000\na 1500\ndeep 1500\n", "cannot itself have segments"},
                      FaultyLayout{"ms/2 1 250 9999\na 1500\na 1500\n", "the record has 9999 frames, its segments 3000"},
                      FaultyLayout{"ms/2 1 250 3000\na 1500\n../a 1500\n", "'../a' is not a file name beside the record"},
                      FaultyLayout{"ms/1 1 250 0\na 0\n", "no segment holds frames"}));

TEST(ChannelChoice, NumbersAreIndicesSharedNamesAreRefusedTimeIsNeverTheDefault)
{
    qztest::TempDir dir;
    std::ofstream table(dir / "t.csv");
    table << "time_s,3,x,X\n";
    for (int row = 0; row < 1500; ++row) {
        table << row / 250.0 << "," << row % 7 << "," << row % 5 << "," << row % 3 << "\n";
    }
    table.close();
    const std::vector<std::string> convert{"convert", "t.csv", "--input-rate", "250"};
    const auto choose = [&](std::vector<std::string> extra) {
        extra.insert(extra.begin(), convert.begin(), convert.end());
        return Qzkit(extra, dir.path());
    };
    EXPECT_NE(choose({}).out.find("source: channel '3'"), std::string::npos);
    EXPECT_NE(choose({"--channel", "3"}).out.find("source: channel 'X'"), std::string::npos);
    EXPECT_NE(choose({"--channel", "X"}).out.find("source: channel 'X'"), std::string::npos);
    std::ofstream(dir / "u.csv") << "time,a,a\n0,1,2\n";
    const auto twice = Qzkit({"convert", "u.csv", "--input-rate", "250", "--channel", "a"}, dir.path());
    EXPECT_EQ(twice.status, 2);
    EXPECT_NE(twice.err.find("'a' names several signals (1 'a', 2 'a')"), std::string::npos) << twice.err;
}

}  // namespace
