// SPDX-License-Identifier: Apache-2.0
// qzkit monitor as a board's user runs it: a recording streamed through a
// pseudo-terminal at its real rate, replayed faster, a board at the wrong
// rate, a firmware's result lines checked, the live view on a terminal, and
// the recording left whole by a signal, an unplugged device and a full disk.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "constants/ConstantsImage.h"
#include "io/EcgFile.h"
#include "run/LibraryRun.h"
#include "stream/DeviceProtocol.h"
#include "TestBuffers.h"
#include "ToolRunner.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path kExamples = QZ_EXAMPLES_DIR;
const std::string kConstants = (kExamples / "ecg250").string();

qztest::RunResult Qzkit(const std::vector<std::string> &args, const fs::path &cwd)
{
    return qztest::RunProcess(QZKIT_PATH, args, cwd);
}

qztest::RunResult Shell(const std::string &script, const fs::path &cwd)
{
    return qztest::RunProcess("/bin/sh", {"-c", script}, cwd);
}

std::vector<std::uint16_t> ShippedRecording()
{
    return qzkit::ReadEcgFile(kExamples / "ecg_72bpm.ecg");
}

// A pseudo-terminal whose far end the monitor opens by name. The near end
// stays open raw meanwhile, so that nothing written before the monitor
// opens it is echoed or changed.
class Pty {
public:
    Pty()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        name_ = ::ptsname(master_);
        slave_ = ::open(name_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw{};
        ::tcgetattr(slave_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_, TCSANOW, &raw);
    }
    ~Pty()
    {
        Unplug();
        ::close(slave_);
    }
    const std::string &Name() const { return name_; }

    // Writes `lines` at `rate` lines per second on the host's clock, then
    // closes the near end: the device is unplugged.
    void Stream(const std::vector<std::string> &lines, double rate)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the monitor starts
        const Clock::time_point start = Clock::now();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                      std::chrono::duration<double>(static_cast<double>(i) / rate)));
            const std::string line = lines[i] + "\n";
            if (::write(master_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the monitor reads the rest
        Unplug();
    }

private:
    void Unplug()
    {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }
    int master_ = -1;
    int slave_ = -1;
    std::string name_;
};

std::vector<std::string> SampleLines(const std::vector<std::uint16_t> &samples)
{
    std::vector<std::string> lines;
    for (const std::uint16_t sample : samples) {
        lines.push_back(std::to_string(sample));
    }
    return lines;
}

// A CSV text as rows of named cells.
std::vector<std::map<std::string, std::string>> CsvRows(const std::string &text)
{
    std::istringstream stream(text);
    std::string line;
    std::getline(stream, line);
    std::vector<std::string> names;
    std::istringstream header(line);
    for (std::string name; std::getline(header, name, ',');) {
        names.push_back(name);
    }
    std::vector<std::map<std::string, std::string>> rows;
    while (std::getline(stream, line)) {
        std::istringstream cells(line);
        std::map<std::string, std::string> row;
        std::string cell;
        for (const std::string &name : names) {
            std::getline(cells, cell, ',');
            row[name] = cell;
        }
        rows.push_back(row);
    }
    return rows;
}

std::string ReadText(const fs::path &path)
{
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

// The result columns of every row, keyed by the window's first sample.
std::map<std::string, std::string> ResultsByWindow(const std::string &csv)
{
    std::map<std::string, std::string> results;
    for (auto &row : CsvRows(csv)) {
        results[row["start_sample"]] = row["bpm"] + " " + row["qi"] + " " + row["peaks"] + " " + row["beat_method"];
    }
    return results;
}

// What evaluate says of the 600-sample windows of `samples` that start
// every `step` samples.
std::string EvaluatePerWindow(const std::vector<std::uint16_t> &samples, std::size_t step, const fs::path &dir)
{
    std::ofstream manifest(dir / "windows.manifest.csv");
    manifest << "file,start_sample,start_time_s,samples,rate_hz,reference_beats,reference_bpm,beats_file\n";
    for (std::size_t start = 0; start + 600 <= samples.size(); start += step) {
        const std::string file = std::to_string(start).append(".ecg");
        qzkit::WriteEcgFile(dir / file, {samples.begin() + static_cast<std::ptrdiff_t>(start),
                                         samples.begin() + static_cast<std::ptrdiff_t>(start + 600)});
        manifest << file << ',' << start << ",0,600,250,,,\n";
    }
    manifest.close();
    const auto evaluate = Qzkit({"evaluate", "windows.manifest.csv", "--constants", kConstants, "--beats",
                                 (kExamples / "ecg_72bpm.beats.csv").string(), "-o", "per.csv"},
                                dir);
    EXPECT_EQ(evaluate.status, 0) << evaluate.err;
    return ReadText(dir / "per.csv");
}

// Samples named by the record's header, and samples its data file holds.
std::pair<std::size_t, std::size_t> RecordSamples(const fs::path &base)
{
    std::istringstream header(ReadText(fs::path(base.string() + ".hea")));
    std::string name;
    std::size_t signals = 0, samples = 0;
    double rate = 0.0;
    header >> name >> signals >> rate >> samples;
    return {samples, fs::file_size(base.string() + ".dat") / 2u};
}

TEST(QzkitMonitor, StreamAtItsRealRateGivesEvaluatesResults)
{
    qztest::TempDir dir;
    const std::vector<std::uint16_t> samples = ShippedRecording();
    Pty pty;
    std::thread board([&] { pty.Stream(SampleLines(samples), 250.0); });
    const auto live = Qzkit({"monitor", pty.Name(), "-c", kConstants, "--window", "600", "--every", "1", "--record",
                             "kept", "--name", "live"},
                            dir.path());
    board.join();
    ASSERT_EQ(live.status, 0) << live.err;
    EXPECT_NE(live.err.find(pty.Name() + " went away"), std::string::npos) << live.err;
    EXPECT_NE(live.err.find("1500 samples, 4 estimates"), std::string::npos) << live.err;

    const std::string evaluate = EvaluatePerWindow(samples, 250, dir.path());
    EXPECT_EQ(ResultsByWindow(live.out), ResultsByWindow(evaluate));
    EXPECT_EQ(ResultsByWindow(live.out).size(), 4u);
    EXPECT_EQ(ReadText(dir / "kept/live.estimates.csv"), live.out) << "the table kept is the lines printed";
    EXPECT_EQ(RecordSamples(dir / "kept/live"), std::make_pair(std::size_t{1500}, std::size_t{1500}));
    EXPECT_EQ(qzkit::ReadEcgFile(dir / "kept/live.dat"), samples) << "the record holds the stream";
    EXPECT_EQ(Qzkit({"info", "kept/live"}, dir.path()).status, 0);

    const auto fast = Qzkit({"monitor", "--replay", "kept/live", "--speed", "20", "-c", kConstants, "--window", "600"},
                            dir.path());
    ASSERT_EQ(fast.status, 0) << fast.err;
    EXPECT_EQ(ResultsByWindow(fast.out), ResultsByWindow(evaluate)) << "replayed from the record kept";
    EXPECT_LT(std::stod(CsvRows(fast.out).back()["host_time_s"]), 1.0) << "1500 samples at 20 x take 0.3 s";

    const auto again = Qzkit({"monitor", "--replay", "kept/live", "-c", kConstants, "--record", "kept", "--name", "live"},
                             dir.path());
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("kept/live.hea: exists; not replaced"), std::string::npos) << again.err;
    EXPECT_EQ(ReadText(dir / "kept/live.estimates.csv"), live.out) << "the first recording stays";
    EXPECT_EQ(qztest::ListDirectory(dir / "kept").size(), 3u);
}

TEST(QzkitMonitor, BoardAtTheWrongRateIsReported)
{
    qztest::TempDir dir;
    Pty pty;
    // Six seconds of samples: a measurement must span 20 times the longest
    // pause, so a loaded machine's scheduling delays do not leave it unmade.
    std::thread board([&] { pty.Stream(std::vector<std::string>(1500, "512"), 243.0); });
    const auto run = Qzkit({"monitor", pty.Name(), "-c", kConstants, "--rate", "250"}, dir.path());
    board.join();
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string warning = "qzkit monitor: warning: sampling rate ";
    const std::size_t at = run.err.find(warning);
    ASSERT_NE(at, std::string::npos) << run.err;
    const double measured = std::stod(run.err.substr(at + warning.size()));
    EXPECT_NEAR(measured, 243.0, 1.0) << run.err;
    const std::string effect = "heart rates read ";
    const std::size_t said = run.err.find(effect, at);
    ASSERT_NE(said, std::string::npos) << run.err;
    EXPECT_NEAR(std::stod(run.err.substr(said + effect.size())), 100.0 * (250.0 / measured - 1.0), 0.06) << run.err;
    EXPECT_NE(run.err.find(" % high\n", said), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Hz, expected 250 Hz (-"), std::string::npos) << run.err;
}

// A firmware's stream: the samples, and after every 600-sample window that
// ends at a multiple of 300 the result line, with `wrong` words changed.
std::string FirmwareStream(const std::vector<std::uint16_t> &samples, std::size_t wrongEnd)
{
    const qzkit::ConstantsImage constants = qzkit::ReadConstantsFile(kConstants);
    std::string stream = "# firmware banner\n";
    for (std::size_t end = 1; end <= samples.size(); ++end) {
        stream += std::to_string(samples[end - 1]) + "\n";
        if (end >= 600 && end % 300 == 0) {
            qzkit::DeviceResult result{end, 600, {}};
            result.words = qzkit::RunLibrary(constants, qz::run_settings_struct{},
                                             std::span(samples).subspan(end - 600, 600))
                               .words;
            result.words[5] = static_cast<std::uint16_t>(result.words[5] + (end == wrongEnd ? 1 : 0));
            stream += qzkit::ResultLine(result) + "\n";
        }
    }
    return stream;
}

TEST(QzkitMonitor, CheckFlagsAndSavesTheWindowsAFirmwareGotWrong)
{
    qztest::TempDir dir;
    const std::vector<std::uint16_t> samples = ShippedRecording();
    std::ofstream(dir / "right.txt") << FirmwareStream(samples, 0);
    std::ofstream(dir / "wrong.txt") << FirmwareStream(samples, 900);
    const std::string monitor = std::string(QZKIT_PATH) + " monitor - --check -c " + kConstants + " --name fw";
    const auto right = Shell(monitor + " < right.txt", dir.path());
    EXPECT_EQ(right.status, 0) << right.err;
    EXPECT_NE(right.err.find("checked 4: 4 identical, 0 differ"), std::string::npos) << right.err;

    const auto wrong = Shell(monitor + " < wrong.txt", dir.path());
    EXPECT_EQ(wrong.status, 1) << wrong.err;
    EXPECT_NE(wrong.err.find("window ending at sample 900 differs (word 5: desktop "), std::string::npos) << wrong.err;
    EXPECT_NE(wrong.err.find("checked 4: 3 identical, 1 differ"), std::string::npos) << wrong.err;
    const fs::path saved = dir / "fw-900";
    const std::vector<std::uint16_t> window(samples.begin() + 300, samples.begin() + 900);
    EXPECT_EQ(qzkit::ReadEcgFile(saved.string() + ".ecg"), window);
    const std::string desktop = ReadText(saved.string() + ".out");
    std::vector<std::uint16_t> device = qzkit::ReadEcgFile(saved.string() + ".device.out");
    device[5] = static_cast<std::uint16_t>(device[5] - 1);
    EXPECT_EQ(qzkit::EcgFileBytes(device), std::vector<std::uint8_t>(desktop.begin(), desktop.end()));
    // The tool run on the saved window writes the desktop's record again.
    fs::copy_file(kConstants + ".pvx.filters.v1", dir / "ecg250.pvx.filters.v1");
    ASSERT_EQ(qztest::RunProcess(QZ_TOOL_PATH, {"ecg250", "fw-900"}, dir.path()).status, 0);
    EXPECT_EQ(ReadText(saved.string() + ".out"), desktop);
}

TEST(QzkitMonitor, GarbageEndsTheRunWithAHint)
{
    qztest::TempDir dir;
    std::string noise = "512\n";
    for (int i = 0; i < 25; ++i) {
        noise += "\x13\x88z\n";
    }
    std::ofstream(dir / "noise.txt") << noise;
    const auto run = Shell(std::string(QZKIT_PATH) + " monitor - -c " + kConstants + " < noise.txt", dir.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("20 unreadable lines in a row"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("is --format or --column right?"), std::string::npos) << run.err;
}

TEST(QzkitMonitor, SignalsAndAFullDiskLeaveTheRecordWhole)
{
    qztest::TempDir dir;
    ASSERT_EQ(Qzkit({"synth", "long", "--length", "6000"}, dir.path()).status, 0);
    const std::string monitor = std::string(QZKIT_PATH) + " monitor --replay long.ecg -c " + kConstants +
                                " --every 4 --record kept --name ";
    const auto stopped = Shell(monitor + "term & sleep 1.3; kill -TERM $!; wait $!", dir.path());
    EXPECT_EQ(stopped.status, 0) << stopped.err;
    EXPECT_NE(stopped.err.find("stopped by a signal"), std::string::npos) << stopped.err;
    const auto [named, held] = RecordSamples(dir / "kept/term");
    EXPECT_EQ(named, held) << "every sample received is in the record";
    EXPECT_GT(named, 100u);

    const auto killed = Shell(monitor + "kill & sleep 1.8; kill -KILL $!; wait $!", dir.path());
    const auto [killedNamed, killedHeld] = RecordSamples(dir / "kept/kill");
    EXPECT_GT(killedNamed, 0u) << "committed a second in";
    EXPECT_LE(killedNamed, killedHeld);

    // 8 blocks of 512 bytes: 2048 samples fit.
    const auto full = Shell("ulimit -f 8; exec " + monitor + "full --speed 3", dir.path());
    EXPECT_EQ(full.status, 2);
    EXPECT_NE(full.err.find("kept/full.dat: File too large"), std::string::npos) << full.err;
    const auto [fullNamed, fullHeld] = RecordSamples(dir / "kept/full");
    EXPECT_EQ(fullNamed, fullHeld) << "cut back to the samples the header names";
    EXPECT_GT(fullNamed, 1000u);
    EXPECT_LE(fullNamed, 2048u);
    for (const char *name : {"term", "kill", "full"}) {
        EXPECT_EQ(Qzkit({"info", std::string("kept/") + name}, dir.path()).status, 0) << name;
        const std::string table = ReadText(dir / (std::string("kept/") + name + ".estimates.csv"));
        EXPECT_EQ(table.back(), '\n') << name << ": whole lines only";
    }
    EXPECT_EQ(qztest::ListDirectory(dir / "kept").size(), 9u) << "no temporary file left";
}

TEST(QzkitMonitor, LiveViewOnATerminal)
{
    if (std::system("command -v tmux >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "tmux is not installed";
    }
    qztest::TempDir dir;
    const std::string server = "tmux -L qzkit-monitor-test-" + std::to_string(::getpid());
    const std::string command = std::string(QZKIT_PATH) + " monitor --replay " + (kExamples / "ecg_72bpm.ecg").string() +
                                " --speed 2 -c " + kConstants + " --window 600 --every 0.5";
    ASSERT_EQ(std::system((server + " -u new-session -d -x 100 -y 40 '" + command + "'").c_str()), 0);
    std::string screen;
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(10) && screen.find("peaks marked") == std::string::npos) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        screen = qztest::RunProcess("/bin/sh", {"-c", server + " capture-pane -p"}, dir.path()).out;
    }
    qztest::RunProcess("/bin/sh", {"-c", server + " kill-server"}, dir.path());
    EXPECT_NE(screen.find("BPM 72  QI 0  peaks "), std::string::npos) << screen;
    EXPECT_NE(screen.find("\u2588\u2588\u2588  BPM"), std::string::npos) << "large digits\n" << screen;
    EXPECT_NE(screen.find(" QI\n"), std::string::npos) << screen;
    EXPECT_NE(screen.find("recording, beats marked\n"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\u25bc"), std::string::npos) << "peaks marked\n" << screen;
    EXPECT_NE(screen.find("moving average (two passes), peaks marked"), std::string::npos) << screen;
    EXPECT_NE(screen.find("history "), std::string::npos) << screen;
}

}  // namespace
