// SPDX-License-Identifier: Apache-2.0
// No output of any subcommand replaces an input, another output of the same
// run, or a write-protected file; a refused or failed run leaves every file
// as it was, and an interrupted one leaves no temporary file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <map>

#include "TestBuffers.h"
#include "ToolRunner.h"

namespace {

qztest::RunResult Qzkit(const std::vector<std::string> &args, const std::filesystem::path &cwd)
{
    return qztest::RunProcess(QZKIT_PATH, args, cwd);
}

// Every regular file of `dir` with its content, and the other entries by name.
std::map<std::string, std::vector<std::uint8_t>> Snapshot(const std::filesystem::path &dir)
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        const bool regular = entry.is_regular_file() && !entry.is_symlink();
        files[entry.path().filename().string()] = regular ? qztest::ReadBytes(entry.path()) : std::vector<std::uint8_t>{};
    }
    return files;
}

// A folder with a WFDB record `rec` (and its annotations), its window and
// manifest, a constants file, earlier conformance outputs `p.*` with a
// directory where the picture goes, and a write-protected CSV.
class RefusedOutput : public ::testing::TestWithParam<std::pair<std::vector<std::string>, std::string>> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Qzkit({"synth", "rec", "--wfdb", "--manifest"}, dir_.path()).status, 0);
        qztest::WriteBytes(dir_ / "ecg.pvx.filters.v1", qztest::EcgConstantsImage());
        std::filesystem::create_symlink("rec.dat", dir_ / "link.csv");
        for (const char *earlier : {"p.csv", "p.md", "p.svg", "locked.csv"}) {
            std::ofstream(dir_ / earlier) << "earlier " << earlier << "\n";
        }
        std::filesystem::create_directory(dir_ / "p.png");
        chmod((dir_ / "locked.csv").c_str(), 0444);
    }
    qztest::TempDir dir_;
};

TEST_P(RefusedOutput, LeavesEveryFileAsItWas)
{
    const auto before = Snapshot(dir_.path());
    const auto result = Qzkit(GetParam().first, dir_.path());
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_NE(result.err.find(GetParam().second), std::string::npos) << result.err;
    EXPECT_EQ(Snapshot(dir_.path()), before);
}

const std::string kInput = "is also an input";
const std::vector<std::string> kEvaluate{"evaluate", "rec.manifest.csv", "--constants", "ecg"};

std::vector<std::string> Evaluate(std::vector<std::string> outputs)
{
    outputs.insert(outputs.begin(), kEvaluate.begin(), kEvaluate.end());
    return outputs;
}

INSTANTIATE_TEST_SUITE_P(
    EverySubcommand, RefusedOutput,
    ::testing::Values(std::make_pair(std::vector<std::string>{"export", "rec", "-o", "rec.dat"}, kInput),
                      std::make_pair(std::vector<std::string>{"export", "rec", "-o", "rec.hea"}, kInput),
                      std::make_pair(std::vector<std::string>{"export", "rec", "-o", "rec.atr"}, kInput),
                      std::make_pair(std::vector<std::string>{"export", "rec", "-o", "link.csv"}, kInput),
                      std::make_pair(std::vector<std::string>{"export", "rec", "-o", "locked.csv"}, "write-protected"),
                      std::make_pair(std::vector<std::string>{"export", "rec", "-o", "sub/"}, "needs a file name"),
                      std::make_pair(Evaluate({"--report", "ecg.pvx.filters.v1"}), kInput),
                      std::make_pair(Evaluate({"--summary", "rec.ecg"}), kInput),
                      std::make_pair(Evaluate({"-o", "x.csv", "--summary", "x.csv"}), "names the same file"),
                      std::make_pair(Evaluate({"-o", "-", "--summary", "-"}), "two outputs"),
                      std::make_pair(std::vector<std::string>{"conformance", "--constants", "ecg", "--family",
                                                              "no-count", "--seeds", "1", "-o", "p"},
                                     "p.png: exists and is not a regular file")));

TEST(OutputSafety, ForceReplacesAWriteProtectedFile)
{
    qztest::TempDir dir;
    std::ofstream(dir / "locked.pvx") << "x";
    chmod((dir / "locked.pvx").c_str(), 0444);
    const std::string text = QZ_EXAMPLES_DIR "/ecg250.constants.txt";
    ASSERT_EQ(Qzkit({"constants", "make", text, "locked.pvx", "--force"}, dir.path()).status, 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "locked.pvx"), 31u);
}

TEST(OutputSafety, TemporaryFilesGoOnTerminationAndLeftoversOnTheNextRun)
{
    qztest::TempDir dir;
    std::ofstream(dir / "big.hea") << "big 1 250 0\nbig.dat 8\n";
    std::ofstream(dir / "big.dat").close();
    std::filesystem::resize_file(dir / "big.dat", std::uintmax_t{1} << 32);
    const std::string leftover = "out.csv.qzkit-tmp-99999999-0";  // a process number no system hands out
    std::ofstream(dir / leftover) << "killed run";
    // The signal comes once the run has its own temporary file (so it has
    // passed the leftover clean-up), however slow a loaded machine starts it;
    // job control keeps SIGINT deliverable to the background run.
    const std::string signalWhileWriting =
        "set -m; \"$0\" export big --max-rows 0 -o out.csv & run=$!; "
        "for _ in $(seq 1200); do compgen -G \"out.csv.qzkit-tmp-$run-*\" >/dev/null && break; sleep 0.05; done; "
        "kill -s \"$1\" $run; wait $run";
    for (const auto &[signal, status] : {std::pair{"TERM", 128 + SIGTERM}, std::pair{"INT", 128 + SIGINT}}) {
        const auto ended = qztest::RunProcess("/bin/bash", {"-c", signalWhileWriting, QZKIT_PATH, signal}, dir.path());
        EXPECT_EQ(ended.status, status) << ended.err;
        EXPECT_EQ(qztest::ListDirectory(dir.path()),
                  (std::vector<std::filesystem::path>{"big.dat", "big.hea"}));
    }
}

}  // namespace
