// SPDX-License-Identifier: Apache-2.0
// `qzkit constants tune` as a user runs it: killed at any point and resumed,
// it ends with the files of a search never stopped and scores again only
// what its journal did not keep; what it cannot do it refuses before it
// scores; what only the end shows still leaves the journal and the front.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

#include "ToolRunner.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kSearch{"constants", "tune", "--family", "mains", "--seeds", "1", "--levels", "2",
                                       "--manifest", "s1.manifest.csv", "--jobs", "2", "-o", "t"};
const std::vector<std::string> kQuick{"constants", "tune", "--battery", "none", "--manifest", "s1.manifest.csv",
                                      "--levels", "2"};
const std::vector<std::string> kResults{".csv", ".pvx.filters.v1", ".constants.txt", ".md", ".svg", ".png",
                                        ".points"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string> &more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

void MakeWindows(const fs::path &dir)
{
    ASSERT_EQ(qztest::RunProcess(QZKIT_PATH, {"synth", "s1", "--bpm", "70", "--noise", "5", "--manifest"}, dir).status,
              0);
}

std::string Text(const fs::path &path)
{
    const std::vector<std::uint8_t> bytes = qztest::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

std::size_t Lines(const fs::path &path)
{
    std::ifstream stream(path);
    std::size_t lines = 0;
    for (std::string line; std::getline(stream, line);) {
        ++lines;
    }
    return lines;
}

// The summary without its time and load average.
std::string Untimed(const std::string &summary)
{
    return std::regex_replace(summary, std::regex(R"(scored( \(\d+ of them by an earlier run\))?, (.*) in [0-9.]+ s on (.*) \(load average [0-9.]+ at the end\))"),
                              "scored, $2 on $3");
}

pid_t Start(const fs::path &dir, const std::vector<std::string> &args, bool ignoreInterrupt)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0 || chdir(dir.c_str()) != 0) {
            _exit(127);
        }
        if (ignoreInterrupt) {
            signal(SIGINT, SIG_IGN);
        }
        std::vector<char *> argv{const_cast<char *>(QZKIT_PATH)};
        for (const std::string &arg : args) {
            argv.push_back(const_cast<char *>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(QZKIT_PATH, argv.data());
        _exit(127);
    }
    return pid;
}

// A worker process of `parent` still at work (not a zombie), or 0.
pid_t WorkerOf(pid_t parent)
{
    for (const fs::directory_entry &entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state;
        long ppid = 0;
        if (stat >> pid >> name >> state >> ppid && ppid == parent && state != "Z") {
            return static_cast<pid_t>(std::stol(pid));
        }
    }
    return 0;
}

struct Interruption {
    const char *name;
    int signal;
    bool worker;            // sent to a worker, not to qzkit
    bool ignored;           // qzkit started with SIGINT ignored
    std::size_t atPoints;   // sent once the journal holds this many points
};

class TuneInterrupted : public ::testing::TestWithParam<Interruption> {
protected:
    static void SetUpTestSuite()
    {
        whole_ = std::make_unique<qztest::TempDir>();
        MakeWindows(whole_->path());
        ASSERT_EQ(qztest::RunProcess(QZKIT_PATH, kSearch, whole_->path()).status, 0);
    }
    static void TearDownTestSuite() { whole_.reset(); }
    static std::unique_ptr<qztest::TempDir> whole_;
};

std::unique_ptr<qztest::TempDir> TuneInterrupted::whole_;

// Runs the search in `dir` and sends the signal once the journal holds
// enough points; the exit status. A worker may end between being found
// and signalled, or none may be at work when looked for: then the search
// runs again.
int Interrupt(const fs::path &dir, const Interruption &interruption)
{
    int status = 0;
    for (int attempt = 0; attempt < 5 && (attempt == 0 || (interruption.worker && status == 0)); ++attempt) {
        fs::remove(dir / "t.points");
        const pid_t pid = Start(dir, kSearch, interruption.ignored);
        bool sent = false;
        bool ended = false;
        while (!sent && !ended) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ended = waitpid(pid, &status, WNOHANG) == pid;
            const pid_t target = interruption.worker ? WorkerOf(pid) : pid;
            sent = !ended && Lines(dir / "t.points") >= interruption.atPoints + 2 && target > 0 &&
                   kill(target, interruption.signal) == 0;
        }
        if (!ended) {
            waitpid(pid, &status, 0);
        }
    }
    return status;
}

TEST_P(TuneInterrupted, ResumesToTheFilesOfASearchNeverStoppedScoringOnlyWhatWasNotKept)
{
    const Interruption &interruption = GetParam();
    const qztest::TempDir dir;
    MakeWindows(dir.path());
    const int status = Interrupt(dir.path(), interruption);
    const std::size_t kept = Lines(dir / "t.points") - 2;
    if (interruption.ignored) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(Untimed(Text(dir / "t.md")), Untimed(Text(whole_->path() / "t.md")));
        return;
    }
    EXPECT_GE(kept, interruption.atPoints);
    EXPECT_LT(kept, Lines(whole_->path() / "t.points") - 2) << "ended before it was interrupted";
    if (interruption.signal == SIGHUP) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_NE(Text(dir / "t.md").find("Stopped before the search ended"), std::string::npos);
    } else if (interruption.worker) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    } else {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }

    const qztest::RunResult resumed = qztest::RunProcess(QZKIT_PATH, With(kSearch, {"--resume"}), dir.path());
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    for (const std::string &suffix : kResults) {
        const std::string mine = Text(dir / ("t" + suffix));
        const std::string whole = Text(whole_->path() / ("t" + suffix));
        EXPECT_EQ(suffix == ".md" ? Untimed(mine) : mine, suffix == ".md" ? Untimed(whole) : whole) << suffix;
    }
    EXPECT_NE(Text(dir / "t.md").find("(" + std::to_string(kept) + " of them by an earlier run)"),
              std::string::npos);
    EXPECT_EQ(qztest::ListDirectory(dir.path()).size(), kResults.size() + 3) << "temporary files left";
}

INSTANTIATE_TEST_SUITE_P(
    AtSeveralPoints, TuneInterrupted,
    ::testing::Values(Interruption{"KilledInTheGrid", SIGKILL, false, false, 8},
                      Interruption{"KilledInTheLocalSearch", SIGKILL, false, false, 60},
                      Interruption{"HungUp", SIGHUP, false, false, 30},
                      Interruption{"WorkerKilledInTheGrid", SIGKILL, true, false, 3},
                      Interruption{"WorkerKilledInTheLocalSearch", SIGKILL, true, false, 20},
                      Interruption{"InterruptIgnoredAsInherited", SIGINT, false, true, 20}),
    [](const auto &one) { return std::string(one.param.name); });

struct Refusal {
    const char *name;
    std::function<void(const fs::path &)> setup;
    std::vector<std::string> args;  // after kQuick
    const char *message;
};

class TuneRefused : public ::testing::TestWithParam<Refusal> {};

TEST_P(TuneRefused, BeforeAnyPointIsScored)
{
    const qztest::TempDir dir;
    MakeWindows(dir.path());
    GetParam().setup(dir.path());
    const qztest::RunResult result = qztest::RunProcess(QZKIT_PATH, With(kQuick, GetParam().args), dir.path());
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(dir / "c.points") && fs::is_regular_file(dir / "c.points"));
    EXPECT_FALSE(fs::exists(dir / ".points"));
}

const auto kNothing = [](const fs::path &) {};

INSTANTIATE_TEST_SUITE_P(
    Tune, TuneRefused,
    ::testing::Values(
        Refusal{"DirectoryOutput", [](const fs::path &dir) { fs::create_directory(dir / "c.png"); }, {"-o", "c"},
                "c.png: exists and is not a regular file"},
        Refusal{"WriteProtectedOutput",
                [](const fs::path &dir) {
                    std::ofstream(dir / "c.md") << "mine\n";
                    fs::permissions(dir / "c.md", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
                },
                {"-o", "c"}, "c.md: is write-protected"},
        Refusal{"OutputOverAWindowsBeats", kNothing, {"-o", "s1.beats"}, "s1.beats.csv: is also an input"},
        Refusal{"FigureLinkedToAWindow",
                [](const fs::path &dir) { fs::create_symlink("s1.ecg", dir / "c.svg"); },
                {"-o", "c"}, "c.svg: is also an input"},
        Refusal{"FifoJournal", [](const fs::path &dir) { mkfifo((dir / "c.points").c_str(), 0600); },
                {"-o", "c", "--resume"}, "c.points: exists and is not a regular file"},
        Refusal{"NoFileName", kNothing, {"-o", "d/"}, "needs a file name"},
        Refusal{"EmptyBaseName", kNothing, {"-o", ""}, "needs a file name"},
        Refusal{"RequirementWithNothingToMeasure", kNothing, {"-o", "c", "--require", "cases>=1"},
                "nothing to measure it on"}),
    [](const auto &one) { return std::string(one.param.name); });

TEST(TuneEnd, APickPastTheFrontStillWritesTheFrontAndTheJournal)
{
    const qztest::TempDir dir;
    MakeWindows(dir.path());
    const qztest::RunResult result = qztest::RunProcess(QZKIT_PATH, With(kQuick, {"--pick", "5", "-o", "c"}), dir.path());
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("row 5 was asked for"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::exists(dir / "c.csv"));
    EXPECT_GT(Lines(dir / "c.points"), 2u);
    EXPECT_FALSE(fs::exists(dir / "c.md"));
}

TEST(TuneEnd, ARequirementNobodyMeetsChoosesTheBestOfTheRestAndSaysSo)
{
    const qztest::TempDir dir;
    MakeWindows(dir.path());
    const qztest::RunResult result = qztest::RunProcess(
        QZKIT_PATH, {"constants", "tune", "--family", "mains", "--seeds", "1", "--levels", "2", "--rounds", "0",
                     "--require", "cases>=1000", "-o", "c"},
        dir.path());
    EXPECT_EQ(result.status, 3) << result.err;
    EXPECT_NE(Text(dir / "c.md").find("**No point met the requirements**"), std::string::npos);
    EXPECT_EQ(Text(dir / "c.md").find("among the points with"), std::string::npos);
    EXPECT_NE(Text(dir / "c.constants.txt").find("no point has cases >= 1000"), std::string::npos);
}

TEST(TuneEnd, LostStandardOutputLeavesEveryFileWrittenAndNoTemporaryOne)
{
    const qztest::TempDir dir;
    MakeWindows(dir.path());
    const qztest::RunResult result = qztest::RunProcess(
        "/bin/sh", {"-c", std::string(QZKIT_PATH) + " constants tune --battery none --manifest s1.manifest.csv "
                                                   "--levels 2 --rounds 0 -o c >/dev/full"},
        dir.path());
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("cannot write to standard output"), std::string::npos) << result.err;
    EXPECT_EQ(qztest::ListDirectory(dir.path()).size(), kResults.size() + 3);
}

TEST(TuneEnd, ALineBreakInTheBaseNameCannotBreakTheTextSource)
{
    const qztest::TempDir dir;
    MakeWindows(dir.path());
    ASSERT_EQ(qztest::RunProcess(QZKIT_PATH, With(kQuick, {"--rounds", "0", "-o", "c\nd"}), dir.path()).status, 0);
    const qztest::RunResult made =
        qztest::RunProcess(QZKIT_PATH, {"constants", "make", "c\nd.constants.txt", "made.pvx.filters.v1"}, dir.path());
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(Text(dir / "made.pvx.filters.v1"), Text(dir / "c\nd.pvx.filters.v1"));
    EXPECT_NE(Text(dir / "c\nd.constants.txt").find("-o $'c\\x0Ad'"), std::string::npos);
}

}  // namespace
