// The tool run as a process in a scratch directory: usage, version queries,
// echo and settings log, input checks, output files and log-level gating.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestBuffers.h"
#include "ToolRunner.h"

namespace {

namespace fs = std::filesystem;
using qztest::RunResult;

const char *const kBanner = "qz_vozozi_DE Version 0.2.0";
const char *const kStageDumps[] = {".lowpass", ".highpass", ".derivative", ".square", ".average"};

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        qztest::WriteBytes(dir / "c.pvx.filters.v1", qztest::EcgConstantsImage());
        WriteRecord(1500);
    }

    void WriteRecord(std::size_t samples, const std::string &name = "r")
    {
        qztest::WriteSamples(dir / (name + ".ecg"), qztest::RandomSamples(samples, 5, 1023));
    }

    RunResult Run(const std::vector<std::string> &args) { return qztest::RunProcess(QZ_TOOL_PATH, args, dir.path()); }

    // The settings log lines of a run (after the echo line).
    static std::string SettingsOf(const RunResult &result)
    {
        const auto start = result.out.find('\n') + 1;
        const auto end = result.out.find("Running with LogLevel");
        return result.out.substr(start, end - start);
    }

    bool Exists(const std::string &name) const { return fs::exists(dir / name); }

    qztest::TempDir dir;
};

TEST_F(Cli, NoArgumentsPrintsTheNineUsageLines)
{
    const auto result = Run({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, std::string(kBanner) +
                              "\nTakes arguments in the following order\n"
                              "\t1: Filter Constants binary file \n"
                              "\t2: ECG Record in binary file  \n"
                              "\t3: Filter Mask  \n"
                              "\t4: Peak Detection Method  \n"
                              "\t5: Beat Classification Method  \n"
                              "\t6: Derivative Order  \n"
                              "\t7: Log Level \n");
    EXPECT_EQ(result.err, "");
}

TEST_F(Cli, VersionQueriesOnlyInFirstPosition)
{
    for (const auto &query : {"-v", "-V", "--version"}) {
        for (const auto &args : {std::vector<std::string>{query}, std::vector<std::string>{query, "r", "1"}}) {
            const auto result = Run(args);
            EXPECT_EQ(result.status, 0);
            EXPECT_EQ(result.out, kBanner);
        }
    }
    for (const auto &notQuery : {"-version", "--Version", "-VERSION", "v"}) {
        const auto result = Run({notQuery, "r"});
        EXPECT_EQ(result.status, 1) << notQuery;
        EXPECT_NE(result.out.find("Error in reading filter input, read 0\n"), std::string::npos);
    }
    const auto late = Run({"c", "-v"});
    EXPECT_NE(late.out.find("main invoked with 3 arguments:\t"), std::string::npos);
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

TEST_F(Cli, SettingsAreParsedTruncatedAndLogged)
{
    struct Case {
        std::vector<std::string> settings;
        std::string log;
    };
    const Case cases[] = {
        {{"-1"}, "filterMask is 65535\npeakDetection is Variable threshold\nbeatMethod is 1\nUsing 2 point derivative\n"},
        {{"300", "0", "9", "3"}, "filterMask is 300\npeakDetection is Absolute threshold\nbeatMethod is 9\nUsing 2 point derivative\n"},
        {{"127", "1", "2", "4"}, "filterMask is 127\npeakDetection is Variable threshold\nbeatMethod is 2\nUsing 2 point derivative\n"},
        {{"127", "2", "0", "5"}, "filterMask is 127\npeakDetection is Variable threshold\nbeatMethod is 0\nUsing 5 point derivative\n"},
        {{"  +12", "-0", "12abc", "abc"}, "filterMask is 12\npeakDetection is Absolute threshold\nbeatMethod is 12\nUsing 2 point derivative\n"},
        {{"99999999999"}, "filterMask is 65535\npeakDetection is Variable threshold\nbeatMethod is 1\nUsing 2 point derivative\n"},
        {{"-99999999999"}, "filterMask is 0\npeakDetection is Variable threshold\nbeatMethod is 1\nUsing 2 point derivative\n"},
        {{"65541"}, "filterMask is 5\npeakDetection is Variable threshold\nbeatMethod is 1\nUsing 2 point derivative\n"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args{"c", "r"};
        args.insert(args.end(), c.settings.begin(), c.settings.end());
        const auto result = Run(args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(SettingsOf(result), c.log) << c.settings[0];
    }
    EXPECT_NE(Run({"c", "r", "0", "0", "0", "2", "7"}).out.find("Running with LogLevel 7\n"), std::string::npos);
    EXPECT_NE(Run({"c", "r", "0", "0", "0", "2", "-1"}).out.find("Running with LogLevel 65535\n"),
              std::string::npos);
}

TEST_F(Cli, StageMaskSelectsDumpFilesAndUsesItsLowByte)
{
    struct Case {
        std::string mask;
        std::vector<bool> dumps;  // lowpass, highpass, derivative, square, average
    };
    const Case cases[] = {
        {"0", {false, false, false, false, false}},   {"128", {false, false, false, false, false}},
        {"127", {true, true, true, true, true}},       {"-1", {true, true, true, true, true}},
        {"300", {false, false, true, true, false}},    {"1", {true, false, false, false, false}},
    };
    for (const auto &c : cases) {
        qztest::TempDir run;
        qztest::WriteBytes(run / "c.pvx.filters.v1", qztest::EcgConstantsImage());
        qztest::WriteSamples(run / "r.ecg", qztest::RandomSamples(1500, 9));
        const auto result = qztest::RunProcess(QZ_TOOL_PATH, {"c", "r", c.mask}, run.path());
        EXPECT_EQ(result.status, 0);
        for (std::size_t i = 0; i < 5; ++i) {
            const fs::path dump = run / (std::string("r") + kStageDumps[i]);
            EXPECT_EQ(fs::exists(dump), c.dumps[i]) << "mask " << c.mask << " " << kStageDumps[i];
            if (c.dumps[i]) {
                EXPECT_EQ(fs::file_size(dump), 3000u);
            }
        }
        EXPECT_EQ(fs::file_size(run / "r.out"), 86u);
    }
}

TEST_F(Cli, WithoutBeatRateStageTheResultIsZero)
{
    const auto result = Run({"c", "r", "63"});
    EXPECT_NE(result.out.find("BPM: 0 \t\t QI: 0 \n"), std::string::npos);
    EXPECT_FALSE(Exists("thresholdmethod.info"));
    const auto words = qztest::ReadWords(dir / "r.out");
    EXPECT_EQ(words[0], 0);
    EXPECT_EQ(words[1], 0);
}

TEST_F(Cli, BeatRateWithoutPeakStageSeesNoPeaks)
{
    const auto result = Run({"c", "r", "64"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("BPM: 0 \t\t QI: 3 \n"), std::string::npos);
    const auto words = qztest::ReadWords(dir / "r.out");
    ASSERT_EQ(words.size(), 43u);
    EXPECT_EQ(words[3], 0);
    for (std::size_t i = 4; i < 29; ++i) {
        EXPECT_EQ(words[i], 0);
    }
}

TEST_F(Cli, RecordLengths)
{
    struct Case {
        std::size_t bytes;
        int status;
        std::string message;
        std::uintmax_t dumpSize;
    };
    const Case cases[] = {
        {1200, 0, "BPM: ", 1200},
        {1201, 0, "BPM: ", 1200},
        {2000, 1, "Error in reading record input, read 1000\n", 0},
        {3000, 0, "BPM: ", 3000},
        {4000, 0, "BPM: ", 3000},
        {0, 1, "Error in reading record input, read 0\n", 0},
        {1199, 1, "Error in reading record input, read 599\n", 0},
    };
    for (const auto &c : cases) {
        qztest::TempDir run;
        qztest::WriteBytes(run / "c.pvx.filters.v1", qztest::EcgConstantsImage());
        auto bytes = std::vector<std::uint8_t>(c.bytes, 0x01);
        qztest::WriteBytes(run / "r.ecg", bytes);
        const auto result = qztest::RunProcess(QZ_TOOL_PATH, {"c", "r"}, run.path());
        EXPECT_EQ(result.status, c.status) << c.bytes;
        EXPECT_NE(result.out.find(c.message), std::string::npos) << c.bytes << result.out;
        EXPECT_EQ(fs::exists(run / "r.lowpass"), c.dumpSize != 0) << c.bytes;
        EXPECT_EQ(fs::exists(run / "r.out"), c.status == 0);
        if (c.dumpSize != 0) {
            EXPECT_EQ(fs::file_size(run / "r.lowpass"), c.dumpSize);
        }
    }
}

TEST_F(Cli, ConstantsFileLengths)
{
    const auto image = qztest::EcgConstantsImage();
    for (const std::size_t length : {std::size_t{0}, std::size_t{30}, std::size_t{31}, std::size_t{32}}) {
        auto bytes = image;
        bytes.resize(length, 0xEE);
        qztest::WriteBytes(dir / "k.pvx.filters.v1", bytes);
        const auto result = Run({"k", "r"});
        if (length < 31) {
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.out.substr(result.out.find("Error")),
                      "Error in reading filter input, read " + std::to_string(length) + "\n");
        } else {
            EXPECT_EQ(result.status, 0) << length;
        }
    }
}

TEST_F(Cli, MissingAndDirectoryInputs)
{
    fs::create_directory(dir / "dirc.pvx.filters.v1");
    fs::create_directory(dir / "dirr.ecg");
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::string longName(5000, 'x');
    const Case cases[] = {
        {{"nope", "r"}, "Error in reading filter input, read 0\n"},
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
    // Nothing is created by a failed run, and one argument names no file.
    for (const auto &entry : fs::directory_iterator(dir.path())) {
        const auto name = entry.path().filename().string();
        EXPECT_TRUE(name == "c.pvx.filters.v1" || name == "r.ecg" || name.rfind("dir", 0) == 0) << name;
    }
}

TEST_F(Cli, UnwritableResultRecordStillWritesDumps)
{
    fs::create_directory(dir / "r.out");
    const auto result = Run({"c", "r"});
    EXPECT_EQ(result.status, 1);
    const std::string tail = "\nError in writing output, wrote 0\n";
    ASSERT_GE(result.out.size(), tail.size());
    EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail);
    for (const auto *extension : kStageDumps) {
        EXPECT_TRUE(Exists(std::string("r") + extension)) << extension;
    }
}

TEST_F(Cli, LogLevelGatesDiagnosticLines)
{
    struct Expectation {
        const char *text;
        int fromLevel;
    };
    const Expectation lines[] = {
        {"Reading ADDRESS\t1\t31\tc.pvx.filters.v1\n", 3},
        {"Reading ADDRESS\t2\t1500\tr.ecg\n", 3},
        {"Writing ADDRESS\t2\t1500\tr.lowpass\n", 3},
        {"Writing ADDRESS\t2\t43\tr.out\n", 3},
        {"Writing ADDRESS\t2\t14\tthresholdmethod.info\n", 3},
        {"Peaks found ", 3},
        {"Before Lowpass: Min: ", 4},
        {"In LowPassFilter: Median is ", 4},
        {"LPF is:  PS:30, a[0]:   1, a[1]:   2, a[2]:   3, a[3]:   4, a[4]:   5, \n", 4},
        {"Result is ", 4},
    };
    for (const int level : {0, 2, 3, 4, 9}) {
        const auto result = Run({"c", "r", "127", "1", "1", "2", std::to_string(level)});
        const auto out = qztest::MaskAddresses(result.out);
        for (const auto &line : lines) {
            EXPECT_EQ(out.find(line.text) != std::string::npos, level >= line.fromLevel)
                << "level " << level << ": " << line.text;
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
