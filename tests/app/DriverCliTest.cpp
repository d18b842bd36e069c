// The tool run as a process in a scratch directory: usage, version queries,
// echo and settings log, input checks, output files and log-level gating.
#include <gtest/gtest.h>

#include <algorithm>
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

TEST_F(Cli, NoArgumentsPrintsTheUsage)
{
    const auto result = Run({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind(std::string(kBanner) + "\nTakes arguments in the following order\n", 0), 0u);
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 9);
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
        EXPECT_NE(Run({"c", "r", text}).out.find(log), std::string::npos) << text;
    }
    EXPECT_NE(Run({"c", "r", "1", "-0"}).out.find("peakDetection is Absolute threshold\n"), std::string::npos);
    EXPECT_NE(Run({"c", "r", "1", "1", "-1", "2", "-1"}).out.find("beatMethod is 65535\nUsing 2 point derivative\n"
                                                                   "Running with LogLevel 65535\n"),
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

// The shipped recordings, where each setting changes the result: the pulse
// recording under the ECG constants is irregular, so the beat method counts.
class Examples : public Cli {
protected:
    void SetUp() override
    {
        for (const auto &[from, to] : {std::pair{"ecg250.pvx.filters.v1", "c.pvx.filters.v1"},
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
