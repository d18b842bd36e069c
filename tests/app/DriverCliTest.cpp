// SPDX-License-Identifier: Apache-2.0
// The tool run as a process in a scratch directory: usage, version queries,
// echo and settings, input checks, output files and log-level gating.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "TestBuffers.h"
#include "ToolRunner.h"

using namespace qz;

namespace {

namespace fs = std::filesystem;

const std::string kBanner = "qz_vozozi_DE Version " QZ_VERSION_NUMBER;
const char *const kStageDumps[] = {".lowpass", ".highpass", ".derivative", ".square", ".average"};

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        qztest::WriteBytes(dir / "c.pvx.filters.v1", qztest::EcgConstantsImage());
        qztest::WriteSamples(dir / "r.ecg", qztest::RandomSamples(1500, 5));
    }

    qztest::RunResult Run(const std::vector<std::string> &args)
    {
        return qztest::RunProcess(QZ_TOOL_PATH, args, dir.path());
    }
    bool Printed(const std::vector<std::string> &args, const std::string &text)
    {
        return Run(args).out.find(text) != std::string::npos;
    }
    bool Exists(const std::string &name) const { return fs::exists(dir / name); }

    qztest::TempDir dir;
};

TEST_F(Cli, UsageAndVersionQueries)
{
    const auto usage = Run({});
    EXPECT_EQ(usage.status, 0);
    EXPECT_EQ(usage.out.rfind(kBanner + "\nTakes arguments in the following order\n", 0), 0u);
    EXPECT_EQ(std::count(usage.out.begin(), usage.out.end(), '\n'), 9);
    for (const auto &query : {"-v", "-V", "--version"}) {
        const auto result = Run({query, "r", "1"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, kBanner);
    }
    for (const auto &notQuery : {"-version", "--Version", "v"}) {
        EXPECT_EQ(Run({notQuery, "r"}).status, 1) << notQuery;
    }
    EXPECT_TRUE(Printed({"c", "-v"}, "main invoked with 3 arguments:\t"));  // asked only in first position
}

TEST_F(Cli, EchoAndDefaultSettings)
{
    const auto result = Run({"c", "r"});
    EXPECT_EQ(result.status, 0);
    const std::string expected = std::string("main invoked with 3 arguments:\t") + QZ_TOOL_PATH +
                                 "\tc\tr\t\n"
                                 "filterMask is 127\n"
                                 "peakDetection is Variable threshold\n"
                                 "beatMethod is 1\n"
                                 "Using 2 point derivative\n"
                                 "Running with LogLevel 0\n";
    EXPECT_EQ(result.out.substr(0, expected.size()), expected);
    EXPECT_EQ(result.out.find("BPM: "), expected.size());
    ASSERT_FALSE(result.out.empty());
    EXPECT_EQ(result.out.back(), '\n');
}

// Each setting is strtol's value saturated to 32 bits, then its low 16 bits.
TEST_F(Cli, SettingsAreParsedTruncatedAndLogged)
{
    const std::pair<const char *, const char *> cases[] = {
        {"-1", "filterMask is 65535\n"},  {"99999999999", "filterMask is 65535\n"},
        {"-99999999999", "filterMask is 0\n"}, {"65541", "filterMask is 5\n"},
        {"  +12", "filterMask is 12\n"},  {"12abc", "filterMask is 12\n"},
        {"abc", "filterMask is 0\n"},
    };
    for (const auto &[text, log] : cases) {
        EXPECT_TRUE(Printed({"c", "r", text}, log)) << text;
    }
    EXPECT_TRUE(Printed({"c", "r", "1", "-0"}, "peakDetection is Absolute threshold\n"));
    EXPECT_TRUE(Printed({"c", "r", "1", "1", "-1", "2", "-1"},
                        "beatMethod is 65535\nUsing 2 point derivative\nRunning with LogLevel 65535\n"));
}

TEST_F(Cli, StageMaskSelectsDumpFilesAndUsesItsLowByte)
{
    // Mask, then the dumps written as bits in stage order.
    const std::pair<const char *, unsigned> cases[] = {{"0", 0},     {"128", 0}, {"127", 31},
                                                       {"-1", 31},   {"300", 12}, {"1", 1}};
    for (const auto &[mask, dumps] : cases) {
        for (const char *extension : kStageDumps) {
            fs::remove(dir / (std::string("r") + extension));
        }
        EXPECT_EQ(Run({"c", "r", mask}).status, 0);
        for (unsigned i = 0; i < 5; ++i) {
            EXPECT_EQ(Exists(std::string("r") + kStageDumps[i]), ((dumps >> i) & 1u) != 0) << mask << kStageDumps[i];
        }
    }
    EXPECT_EQ(fs::file_size(dir / "r.lowpass"), 3000u);
    EXPECT_EQ(fs::file_size(dir / "r.out"), 86u);
}

// 600 or at least 1500 whole samples; the dumps show the length used.
TEST_F(Cli, RecordLengths)
{
    const std::tuple<std::size_t, const char *, std::uintmax_t> cases[] = {
        {1200, "BPM: ", 1200}, {1201, "BPM: ", 1200}, {3000, "BPM: ", 3000}, {4000, "BPM: ", 3000},
        {2000, "Error in reading record input, read 1000\n", 0},
        {1199, "Error in reading record input, read 599\n", 0},
        {0, "Error in reading record input, read 0\n", 0},
    };
    for (const auto &[bytes, message, dumpSize] : cases) {
        fs::remove(dir / "r.out");
        fs::remove(dir / "r.lowpass");
        qztest::WriteBytes(dir / "r.ecg", std::vector<std::uint8_t>(bytes, 0x01));
        const auto result = Run({"c", "r"});
        EXPECT_EQ(result.status, dumpSize == 0 ? 1 : 0) << bytes;
        EXPECT_NE(result.out.find(message), std::string::npos) << bytes;
        EXPECT_EQ(Exists("r.out"), dumpSize != 0) << bytes;
        EXPECT_EQ(Exists("r.lowpass") ? fs::file_size(dir / "r.lowpass") : 0, dumpSize) << bytes;
        const auto dump = Exists("r.lowpass") ? qztest::ReadWords(dir / "r.lowpass") : std::vector<std::uint16_t>{};
        EXPECT_EQ(std::count(dump.begin(), dump.end(), 257), static_cast<long>(dump.size())) << "a flat record stays flat";
    }
}

TEST_F(Cli, MissingShortAndDirectoryInputs)
{
    fs::create_directory(dir / "dirc.pvx.filters.v1");
    fs::create_directory(dir / "dirr.ecg");
    auto shortConstants = qztest::EcgConstantsImage();
    shortConstants.pop_back();
    qztest::WriteBytes(dir / "dirshort.pvx.filters.v1", shortConstants);
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::string longName(5000, 'x');
    const Case cases[] = {
        {{"nope", "r"}, "Error in reading filter input, read 0\n"},
        {{"dirshort", "r"}, "Error in reading filter input, read 30\n"},
        {{"dirc", "r"}, "Error in reading filter input, read 0\n"},
        {{"c", "nope"}, "Error in reading record input, read 0\n"},
        {{"c", "dirr"}, "Error in reading record input, read 0\n"},
        {{"c"}, "Error in reading record input, read 0\n"},
        {{"c", longName}, "Error in reading record input, read 0\n"},
        {{longName, "r"}, "Error in reading filter input, read 0\n"},
    };
    for (const auto &c : cases) {
        const auto result = Run(c.args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out.substr(result.out.find("Error")), c.error);
    }
    EXPECT_EQ(qztest::ListDirectory(dir.path()).size(), 5u) << "a failed run creates no file";
}

TEST_F(Cli, UnwritableResultRecordStillWritesDumps)
{
    fs::create_directory(dir / "r.out");
    const auto result = Run({"c", "r"});
    EXPECT_EQ(result.status, 1);
    const std::string tail = "\nError in writing output, wrote 0\n";
    ASSERT_GE(result.out.size(), tail.size());
    EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail);
    EXPECT_TRUE(Exists("r.average"));
}

// The shipped recordings, where each setting changes the result: the pulse
// recording under the ECG constants is irregular, so the beat method counts.
class Examples : public Cli {
protected:
    void SetUp() override
    {
        for (const auto &[from, to] : {std::pair{"ecg250-original.pvx.filters.v1", "c.pvx.filters.v1"},
                                       std::pair{"ppg_66bpm.ecg", "p.ecg"}, std::pair{"ecg_72bpm.ecg", "e.ecg"}}) {
            fs::copy_file(fs::path(QZ_EXAMPLES_DIR) / from, dir / to);
        }
    }

    std::string ResultLine(std::vector<std::string> args)
    {
        const auto out = Run(args).out;
        const auto at = out.find("BPM: ");
        return at == std::string::npos ? out : out.substr(at);
    }
};

TEST_F(Examples, EverySettingReachesTheLibraryWhateverFollowsIt)
{
    const std::pair<std::vector<std::string>, const char *> cases[] = {
        {{"c", "p", "127", "0"}, "BPM: 66 \t\t QI: 0 \n"},             // absolute threshold
        {{"c", "p", "127", "1"}, "BPM: 66 \t\t QI: 2 \n"},             // variable threshold
        {{"c", "p", "127", "2"}, "BPM: 66 \t\t QI: 2 \n"},             // any non-zero value is variable
        {{"c", "p", "127", "1", "2"}, "BPM: 54 \t\t QI: 2 \n"},        // level-based throw-out
        {{"c", "p", "127", "1", "3"}, "BPM: 120 \t\t QI: 3 \n"},       // statistical method
        {{"c", "p", "127", "1", "10"}, "BPM: 54 \t\t QI: 2 \n"},       // method 10 is 2
        {{"c", "p", "127", "1", "1", "5"}, "BPM: 66 \t\t QI: 3 \n"},   // five-point derivative
        {{"c", "p", "127", "1", "1", "4"}, "BPM: 66 \t\t QI: 2 \n"},   // any other order is two-point
        {{"c", "p", "127", "0", "1", "2", "0"}, "BPM: 66 \t\t QI: 0 \n"},
    };
    for (const auto &[args, line] : cases) {
        EXPECT_EQ(ResultLine(args), line) << args.size() << " arguments";
    }
}

TEST_F(Examples, LogLevelGatesEveryDiagnosticLine)
{
    struct Case {
        std::vector<std::string> settings;  // after the constants and the record
        std::vector<std::pair<const char *, int>> lines;  // text, lowest level that prints it
    };
    const Case cases[] = {
        {{"e", "127", "1", "1", "2"},
         {{"Reading ADDRESS\t1\t31\tc.pvx.filters.v1\n", 3},
          {"Reading ADDRESS\t2\t1500\te.ecg\n", 3},
          {"Writing ADDRESS\t2\t1500\te.lowpass\n", 3},
          {"Writing ADDRESS\t2\t43\te.out\n", 3},
          {"Writing ADDRESS\t2\t14\tthresholdmethod.info\n", 3},
          {"Peaks found 8 stored at ADDRESS\n", 3},
          {"More than 3 peaks, using average interval\n", 3},
          {"Before Lowpass: Min: 434, Max: 829, Median: 522, AmpUp: 307, AmpDown:  88\n", 4},
          {"In LowPassFilter: Median is 522 and Scaling Value is 171\n", 4},
          {"LPF is:  PS:251, a[0]:   3, a[1]:  11, a[2]:  24, a[3]:  40, a[4]:  53, \n", 4},
          {"Calculated BPM 72 using a period of 0.004000\n", 4},
          {"Result is 72 stored at ADDRESS\n", 4}}},
        {{"p", "127", "1", "2", "2"},
         {{"Using beat classification method.\n", 3},
          {"Calculating.. High Peak 3 is detected peak 4 at location 516\n", 4}}},
        {{"e", "64", "1", "1", "2"}, {{"Found no peaks\n", 4}}},
    };
    for (const auto &c : cases) {
        for (const int level : {2, 3, 4}) {
            std::vector<std::string> args{"c"};
            args.insert(args.end(), c.settings.begin(), c.settings.end());
            args.push_back(std::to_string(level));
            const auto out = qztest::MaskAddresses(Run(args).out);
            for (const auto &[text, fromLevel] : c.lines) {
                EXPECT_EQ(out.find(text) != std::string::npos, level >= fromLevel) << "level " << level << ": " << text;
            }
        }
    }
}

TEST_F(Cli, ResultRecordMatchesTheResultLine)
{
    const auto result = Run({"c", "r"});
    ASSERT_EQ(result.status, 0);
    const auto words = qztest::ReadWords(dir / "r.out");
    ASSERT_EQ(words.size(), 43u);
    const std::string line = "BPM: " + std::to_string(words[0]) + " \t\t QI: " + std::to_string(words[1]) + " \n";
    EXPECT_NE(result.out.find(line), std::string::npos);
    const auto info = qztest::ReadWords(dir / "thresholdmethod.info");
    ASSERT_EQ(info.size(), 14u);
    EXPECT_EQ(std::vector<std::uint16_t>(words.begin() + 29, words.end()), info);
}

}  // namespace
