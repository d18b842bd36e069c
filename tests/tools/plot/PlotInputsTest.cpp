// SPDX-License-Identifier: Apache-2.0
// Reading the files a run left: the result record's layout, the recording
// read the way the tool reads it, and clear errors for files that do not
// belong together.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "plot/PlotInputs.h"
#include "ToolRunner.h"
#include "ToolkitError.h"

namespace {

using qzkit::ReadRunFiles;
using qzkit::RunFiles;

const std::filesystem::path kConstants = std::filesystem::path(QZ_EXAMPLES_DIR) / "ecg250.pvx.filters.v1";

std::vector<std::uint8_t> WordBytes(const std::vector<std::uint16_t> &words)
{
    std::vector<std::uint8_t> bytes;
    for (const std::uint16_t word : words) {
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFFu));
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return bytes;
}

// The result record of a run with three peaks and the statistics block of
// tm2 with QI 0x400, MaxPeak 300 and Tegur 70000.
std::vector<std::uint16_t> ResultWords()
{
    std::vector<std::uint16_t> words(43, 0);
    words[0] = 72;
    words[1] = 1;
    words[2] = 1;
    words[3] = 3;
    words[4] = 100;
    words[5] = 308;
    words[6] = 516;
    words[29] = 0x400;
    words[30] = 300;
    words[35] = 0x0005;  // HighBucket low half
    words[36] = 0x0001;  // HighBucket high half
    words[41] = 4464;    // Tegur 70000, low half
    words[42] = 1;
    return words;
}

// A complete set of run files for `samples` samples in `dir`, named "rec".
struct RunDirectory {
    qztest::TempDir dir;
    std::filesystem::path record = dir / "rec";

    explicit RunDirectory(std::size_t samples = 1500)
    {
        std::filesystem::copy_file(kConstants, dir / "ecg250.pvx.filters.v1");
        qztest::WriteSamples(dir / "rec.ecg", std::vector<std::uint16_t>(samples, 512));
        for (const char *extension : {".lowpass", ".highpass", ".derivative", ".square", ".average"}) {
            qztest::WriteSamples(dir / (std::string("rec") + extension), std::vector<std::uint16_t>(samples, 7));
        }
        qztest::WriteBytes(dir / "rec.out", WordBytes(ResultWords()));
    }

    RunFiles Read() const { return ReadRunFiles({record, dir / "ecg250", dir / "thresholdmethod.info"}); }
};

TEST(PlotInputs, ResultRecordWordsAndStatisticsBlock)
{
    const qzkit::ResultRecord result = qzkit::ParseResultRecord(WordBytes(ResultWords()), "rec.out");
    EXPECT_EQ(result.bpm, 72u);
    EXPECT_EQ(result.qi, 1u);
    EXPECT_TRUE(result.classified);
    EXPECT_EQ(result.peakCount, 3u);
    EXPECT_EQ(result.peakLocations[0], 100u);
    EXPECT_EQ(result.peakLocations[2], 516u);
    EXPECT_EQ(result.peakLocations[3], 0u);
    EXPECT_EQ(result.statistics.qiPattern, 0x400u);
    EXPECT_EQ(result.statistics.maxPeak, 300u);
    EXPECT_EQ(result.statistics.highBucket, 0x10005u) << "low half first";
    EXPECT_EQ(result.statistics.tegur, 70000u);

    // The method dump holds the same 28 bytes as words 29 to 42.
    const std::vector<std::uint16_t> words = ResultWords();
    const std::vector<std::uint16_t> block(words.begin() + 29, words.end());
    EXPECT_EQ(qzkit::ParseStatistics(WordBytes(block), "thresholdmethod.info"), result.statistics);
}

struct BrokenRunCase {
    const char *name;
    std::function<void(const std::filesystem::path &dir)> breakRun;
    const char *message;
};

class PlotInputsRejects : public ::testing::TestWithParam<BrokenRunCase> {};

TEST_P(PlotInputsRejects, FilesThatDoNotBelongTogether)
{
    const RunDirectory run;
    GetParam().breakRun(run.dir.path());
    try {
        run.Read();
        FAIL() << "expected an error";
    } catch (const qzkit::ToolkitError &error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PlotInputsRejects,
    ::testing::Values(
        BrokenRunCase{"RecordingOf1000Samples",
                      [](const auto &dir) { qztest::WriteSamples(dir / "rec.ecg", std::vector<std::uint16_t>(1000, 1)); },
                      "rec.ecg: 1000 samples; the tool reads 1500 samples or exactly 600"},
        BrokenRunCase{"ShortConstants",
                      [](const auto &dir) {
                          qztest::WriteBytes(dir / "ecg250.pvx.filters.v1", std::vector<std::uint8_t>(30, 0));
                      },
                      "ecg250.pvx.filters.v1: 30 bytes; a constants file has 31"},
        BrokenRunCase{"DumpOfA600SampleRun",
                      [](const auto &dir) { qztest::WriteSamples(dir / "rec.square", std::vector<std::uint16_t>(600, 1)); },
                      "rec.square: 1200 bytes, expected 3000"},
        BrokenRunCase{"ShortResultRecord",
                      [](const auto &dir) { qztest::WriteBytes(dir / "rec.out", std::vector<std::uint8_t>(85, 0)); },
                      "rec.out: 85 bytes, expected 86"}),
    [](const ::testing::TestParamInfo<BrokenRunCase> &testInfo) { return std::string(testInfo.param.name); });

}  // namespace
