#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "QZ_Helpers.h"
#include "QZ_Library_Configuration.h"
#include "TestBuffers.h"
#include "ToolRunner.h"

namespace {

using qztest::ReadBytes;
using qztest::WriteBytes;

class FileOperations : public ::testing::Test {
protected:
    void SetUp() override { qztest::ResetState(); }
    qztest::TempDir dir;
    qztest::ScopedCwd cwd{dir.path()};
};

TEST_F(FileOperations, NameIsPlainConcatenation)
{
    WriteBytes("rec.ecg", {1, 2});
    WriteBytes("rec.ecg.ecg", {3, 4, 5, 6});
    UINT16 word = 0;
    EXPECT_EQ(hlp_readBinaryDataFile("rec", ".ecg", &word, 1, 2), 1);
    EXPECT_EQ(word, 0x0201);
    UINT16 words[2] = {};
    EXPECT_EQ(hlp_readBinaryDataFile("rec.ecg", ".ecg", words, 2, 2), 2);
    EXPECT_EQ(words[1], 0x0605);
}

TEST_F(FileOperations, ReadCountsWholeUnits)
{
    WriteBytes("c31.bin", std::vector<std::uint8_t>(31, 7));
    WriteBytes("c10.bin", std::vector<std::uint8_t>(10, 7));
    WriteBytes("odd.bin", std::vector<std::uint8_t>(1201, 7));
    BYTE bytes[31];
    EXPECT_EQ(hlp_readBinaryDataFile("c31", ".bin", bytes, 31, 1), 31);
    EXPECT_EQ(hlp_readBinaryDataFile("c10", ".bin", bytes, 31, 1), 10);
    EXPECT_EQ(hlp_readBinaryDataFile("missing", ".bin", bytes, 31, 1), 0);
    std::vector<UINT16> words(1500);
    EXPECT_EQ(hlp_readBinaryDataFile("odd", ".bin", words.data(), 1500, 2), 600);
}

TEST_F(FileOperations, WriteReplacesWholeFile)
{
    WriteBytes("r.out", std::vector<std::uint8_t>(500, 9));
    std::vector<UINT16> words(43, 0x0102);
    EXPECT_EQ(hlp_writeBinaryDataFile("r", ".out", words.data(), 43, 2), 43);
    const auto bytes = ReadBytes("r.out");
    ASSERT_EQ(bytes.size(), 86u);
    EXPECT_EQ(bytes[0], 0x02);
    EXPECT_EQ(bytes[1], 0x01);
}

TEST_F(FileOperations, UnopenableNamesGiveZero)
{
    std::filesystem::create_directory("d.out");
    std::filesystem::create_directory("d.ecg");
    UINT16 words[43] = {};
    EXPECT_EQ(hlp_writeBinaryDataFile("d", ".out", words, 43, 2), 0);
    EXPECT_EQ(hlp_readBinaryDataFile("d", ".ecg", words, 43, 2), 0);
    EXPECT_EQ(hlp_writeBinaryDataFile("no/such/dir/x", ".out", words, 43, 2), 0);
    const std::string huge(10000, 'a');
    EXPECT_EQ(hlp_readBinaryDataFile(huge.c_str(), ".ecg", words, 43, 2), 0);
    EXPECT_EQ(hlp_writeBinaryDataFile(huge.c_str(), ".out", words, 43, 2), 0);
}

}  // namespace
