// SPDX-License-Identifier: Apache-2.0
// The qzkit program as a user runs it: help, the synth-evaluate round trip,
// and one-line errors with no partial output.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "TestBuffers.h"
#include "ToolRunner.h"

namespace {

qztest::RunResult Qzkit(const std::vector<std::string> &args, const std::filesystem::path &cwd)
{
    return qztest::RunProcess(QZKIT_PATH, args, cwd);
}

TEST(QzkitCli, SynthThenEvaluate)
{
    qztest::TempDir dir;
    qztest::WriteBytes(dir / "ecg.pvx.filters.v1", qztest::EcgConstantsImage());
    const auto synth = Qzkit({"synth", "rec", "--bpm", "84", "--noise", "2", "--manifest"}, dir.path());
    ASSERT_EQ(synth.status, 0) << synth.err;
    const auto evaluate = Qzkit({"evaluate", "rec.manifest.csv", "--constants", "ecg", "-o", "out.csv"}, dir.path());
    ASSERT_EQ(evaluate.status, 0) << evaluate.err;
    EXPECT_NE(evaluate.out.find("within +-5 BPM:"), std::string::npos) << evaluate.out;
    EXPECT_NE(evaluate.out.find("1 of 1 (100.0 %)"), std::string::npos) << evaluate.out;
    EXPECT_NE(evaluate.out.find("Se gross:                            100.0 %"), std::string::npos)
        << "scored on the beats the manifest names";
    EXPECT_NE(evaluate.out.find("windows per second"), std::string::npos);
    EXPECT_EQ(qztest::ListDirectory(dir.path()), (std::vector<std::filesystem::path>{"ecg.pvx.filters.v1", "out.csv", "rec.beats.csv",
                                                                       "rec.ecg", "rec.manifest.csv"}))
        << "no dump files";
    const auto two = Qzkit(
        {"evaluate", "rec.manifest.csv", "--constants", "ecg", std::string(QZ_EXAMPLES_DIR) + "/ecg250-original"},
        dir.path());
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_NE(two.out.find("ecg250-original 127 1 1 2"), std::string::npos) << two.out;
}

TEST(QzkitCli, ConformanceExitStatusFollowsTheGrades)
{
    qztest::TempDir dir;
    qztest::WriteBytes(dir / "ecg.pvx.filters.v1", qztest::EcgConstantsImage());
    const auto pass = Qzkit({"conformance", "--constants", "ecg", "--family", "amplitude", "--seeds", "1"}, dir.path());
    EXPECT_EQ(pass.status, 0) << pass.out << pass.err;
    EXPECT_NE(pass.out.find("4 of 4 graded cases pass"), std::string::npos) << pass.out;
    EXPECT_EQ(qztest::ListDirectory(dir.path()),
              (std::vector<std::filesystem::path>{"conformance.csv", "conformance.md", "conformance.png",
                                                  "conformance.svg", "ecg.pvx.filters.v1"}));
    EXPECT_EQ(Qzkit({"conformance", "--constants", "ecg", "--family", "no-count", "--seeds", "1"}, dir.path()).status,
              1);
}

TEST(QzkitCli, InfoAndExportOfARecord)
{
    qztest::TempDir dir;
    ASSERT_EQ(Qzkit({"synth", "rec", "--wfdb", "--rate", "250"}, dir.path()).status, 0);
    const auto info = Qzkit({"info", "rec", "--json"}, dir.path());
    EXPECT_NE(info.out.find("\"description\": \"synthetic\", \"format\": 16"), std::string::npos) << info.out;
    ASSERT_EQ(Qzkit({"export", "rec.hea", "--to", "s2", "--digital", "-o", "out.csv"}, dir.path()).status, 0);
    std::ifstream csv(dir / "out.csv");
    std::string header, first, second, end;
    std::getline(csv, header);
    std::getline(csv, first);
    std::getline(csv, second);
    EXPECT_EQ(header, "time_s,synthetic");
    EXPECT_EQ(second.rfind("0.004,", 0), 0u) << second;
    EXPECT_FALSE(std::getline(csv, end)) << "two rows";
}

TEST(QzkitCli, EverySubcommandReadsTheRunSettingsAlike)
{
    qztest::TempDir dir;
    qztest::WriteBytes(dir / "ecg.pvx.filters.v1", qztest::EcgConstantsImage());
    ASSERT_EQ(Qzkit({"synth", "rec", "--manifest"}, dir.path()).status, 0);
    const std::vector<std::vector<std::string>> commands{
        {"evaluate", "rec.manifest.csv", "--constants", "ecg", "-o", "out.csv"},
        {"plot", "--run", "rec", "-c", "ecg", "-o", "out"},
        {"conformance", "--constants", "ecg", "--family", "amplitude", "--seeds", "1", "-o", "out"},
    };
    for (std::vector<std::string> command : commands) {
        command.insert(command.end(), {"--settings", "127 1 3 5"});
        EXPECT_LE(Qzkit(command, dir.path()).status, 1) << command[0];  // conformance: 1 when a case fails
        command.insert(command.end(), {"--peak", "70000"});
        EXPECT_NE(Qzkit(command, dir.path()).status, 0) << command[0] << ": --settings excludes --peak";
        command.erase(command.end() - 4, command.end() - 2);
        const auto refused = Qzkit(command, dir.path());
        EXPECT_EQ(refused.err, "qzkit " + command[0] + ": error: --peak '70000' is not a number 0 to 65535\n");
    }
}

TEST(QzkitCli, BadInputGivesOneLineAndNoOutput)
{
    qztest::TempDir dir;
    const std::vector<std::vector<std::string>> commands{
        {"synth", "rec", "--bpm", "0"},
        {"synth", "rec", "--length", "1000", "--manifest"},
        {"convert", "missing.hea"},
        {"convert", "data.csv"},
        {"evaluate", "missing.manifest.csv", "--constants", "ecg", "-o", "out.csv"},
        {"conformance", "--constants", "missing", "-o", "out"},
        {"info", "missing.hea"},
        {"export", "short", "-o", "out.csv"},
    };
    std::ofstream(dir / "data.csv") << "1\n2\n";
    std::ofstream(dir / "short.hea") << "short 1 250 10\nshort.dat 16\n";
    std::ofstream(dir / "short.dat") << "abc";
    for (const auto &command : commands) {
        const auto before = qztest::ListDirectory(dir.path());
        const auto result = Qzkit(command, dir.path());
        EXPECT_EQ(result.status, 2) << command[0] << " " << command[1];
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(result.err.rfind("qzkit " + command[0] + ": error: ", 0), 0u) << result.err;
        EXPECT_EQ(qztest::ListDirectory(dir.path()), before) << command[0] << " " << command[1];
    }
}

TEST(QzkitCli, NumberOptionsRefuseWhatTheyCannotHold)
{
    qztest::TempDir dir;
    std::ofstream(dir / "data.csv") << "1\n2\n";
    const struct {
        std::vector<std::string> command;
        std::string message;
    } cases[] = {
        {{"synth", "rec", "--amplitude", ""}, "--amplitude: needs a number, not an empty value"},
        {{"synth", "rec", "--seed", "4294967297"}, "Could not convert: --seed = 4294967297"},
        {{"constants", "design", "--min-bpm", "30.5"}, "Could not convert: --min-bpm = 30.5"},
        {{"convert", "data.csv", "--input-rate", "-1"}, "--input-rate: -1 is not above 0"},
        {{"convert", "data.csv", "--ac-coupling", "nan"}, "--ac-coupling: nan is not 0 or above"},
        // Every command's numbers, not only those the page shares: empty is never 0.
        {{"constants", "tune", "--max-minutes", ""}, "--max-minutes: needs a number, not an empty value"},
        {{"evaluate", "data.csv", "--jobs", ""}, "--jobs: needs a number, not an empty value"},
        {{"monitor", "-", "--every", ""}, "--every: needs a number, not an empty value"},
        {{"monitor", "-", "--rate", "-3"}, "--rate: -3 is not above 0"},
    };
    for (const auto &c : cases) {
        const auto before = qztest::ListDirectory(dir.path());
        const auto result = Qzkit(c.command, dir.path());
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_EQ(result.err.substr(0, result.err.find('\n')), c.message);
        EXPECT_EQ(qztest::ListDirectory(dir.path()), before) << c.message;
    }
}

}  // namespace
