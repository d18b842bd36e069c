// SPDX-License-Identifier: Apache-2.0
#include "monitor/Monitor.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "constants/ConstantsImage.h"
#include "io/BaseName.h"
#include "io/StageDumps.h"
#include "io/TemporaryFiles.h"
#include "io/TextFormat.h"
#include "monitor/EstimateTable.h"
#include "monitor/LiveView.h"
#include "monitor/MonitorRecording.h"
#include "monitor/MonitorSession.h"
#include "monitor/Replay.h"
#include "run/RecordLength.h"
#include "run/RunSettingsText.h"
#include "run/StageDelays.h"
#include "stream/ArrivalRate.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kCommitSeconds = 1.0;  // the recording on disk lags the stream by at most this
constexpr double kRedrawSeconds = 0.1;
constexpr std::size_t kReadBytes = 4096;

std::string DefaultName()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "monitor-%Y%m%d-%H%M%S", &local);
    return text.data();
}

std::optional<std::size_t> StageIndex(const std::string &name)
{
    if (name.empty()) {
        return std::nullopt;
    }
    std::string known;
    for (std::size_t i = 0; i < kDumpStageCount; ++i) {
        const std::string extension = DumpStages()[i].extension + 1;  // without the dot
        if (extension == name) {
            return i;
        }
        known += (known.empty() ? "" : ", ") + extension;
    }
    throw ToolkitError("--stage " + Quoted(name) + ": not a stage (" + known + ")");
}

// The first word where the two records differ, for the message.
std::string FirstDifference(const ResultWords &desktop, const ResultWords &device)
{
    const auto at = std::mismatch(desktop.begin(), desktop.end(), device.begin());
    const auto word = static_cast<std::size_t>(at.first - desktop.begin());
    return Format("word %zu: desktop %04x, firmware %04x", word, static_cast<unsigned>(*at.first),
                  static_cast<unsigned>(*at.second));
}

// The rate the constants are made for, to the precision their 3-byte Period
// holds (a 15-bit mantissa: five significant digits), so that 250 Hz
// constants expect 250 Hz.
double ConstantsExpectedRate(const ConstantsImage &constants)
{
    return std::stod(Format("%.5g", ConstantsRate(constants)));
}

void CheckOptions(const MonitorOptions &options, double rate)
{
    if (options.replay.empty() == options.source.empty()) {
        throw ToolkitError("give either a SOURCE to read or --replay FILE");
    }
    if (!IsRecordLength(options.window)) {
        throw ToolkitError("--window " + std::to_string(options.window) + ": the tool reads " + RecordLengthsText() +
                           " samples");
    }
    if (!(rate > 0.0) || !std::isfinite(rate)) {
        throw ToolkitError("the expected sampling rate " + Readable(rate) + " Hz is not usable");
    }
    if (options.check && options.format != StreamFormat::Text) {
        throw ToolkitError("--check reads the firmware's result lines: only a text stream carries them");
    }
}

class MonitorRun {
public:
    explicit MonitorRun(const MonitorOptions &options);
    int Run();

private:
    void OpenSource();
    void Loop();
    bool ReadSource(double now);
    void PlayReplay(double now);
    void Handle(const StreamEvent &event);
    void AddSample(std::int64_t value);
    void Show(Estimate estimate);
    void ReportDifference(const Estimate &estimate);
    void NoteRate(double now);
    void CheckStall(double now);
    void Redraw(bool force);
    void LeaveScreen();
    void Warn(const std::string &message);
    double Seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }
    StreamState State() const;
    std::string Summary() const;

    const MonitorOptions &options_;
    MonitorSettings settings_;
    std::string name_;
    Clock::time_point start_ = Clock::now();
    MonitorSession session_{MonitorSettings{}};
    std::unique_ptr<InputDevice> device_;
    std::unique_ptr<StreamDecoder> decoder_;
    std::optional<ReplayRecording> replay_;
    std::size_t replayed_ = 0;
    std::unique_ptr<MonitorRecording> recording_;
    ArrivalRate arrival_;
    bool live_ = false;
    LiveViewState view_;
    std::optional<Estimate> latest_;
    bool dirty_ = true;
    double lastDraw_ = -1.0;
    double lastCommit_ = 0.0;
    double lastData_ = 0.0;
    bool rateWarned_ = false;
    std::size_t badRun_ = 0;
    std::string lastBadLine_;
    std::size_t estimates_ = 0;
    std::size_t identical_ = 0, differing_ = 0, unverifiable_ = 0, saved_ = 0;
    std::string ending_;
};

MonitorRun::MonitorRun(const MonitorOptions &options) : options_(options)
{
    settings_.constants = ReadConstantsFile(options.constants);
    settings_.settings = options.settings;
    settings_.rate = options.rate.value_or(ConstantsExpectedRate(settings_.constants));
    CheckOptions(options, settings_.rate);
    settings_.window = options.window;
    constexpr double kLongestStep = 1e12;  // samples; beyond any stream's length
    settings_.step =
        options.check ? 0 : static_cast<std::size_t>(std::clamp(std::round(options.every * settings_.rate), 1.0, kLongestStep));
    live_ = !options.plain && ::isatty(STDOUT_FILENO) != 0;
    view_.stage = StageIndex(options.stage.empty() && live_ ? "average" : options.stage);
    settings_.keepStageOutputs = live_ && view_.stage.has_value();
    session_ = MonitorSession(settings_);
    name_ = options.name.empty() ? DefaultName() : options.name;
    CheckBaseName(name_);
    view_.peakDelay = PeakDelay(settings_.settings.StageMask, settings_.settings.DerivativeOrder);
    view_.title = Format("qzkit monitor  %s  expected %g Hz  window %zu every %g s  constants %s  settings %s",
                         options.replay.empty() ? options.source.c_str() : options.replay.c_str(), settings_.rate,
                         settings_.window, options.every, options.constants.filename().c_str(),
                         SettingsText(settings_.settings).c_str());
}

void MonitorRun::OpenSource()
{
    if (!options_.replay.empty()) {
        if (!(options_.speed > 0.0) || !std::isfinite(options_.speed)) {
            throw ToolkitError("--speed " + Readable(options_.speed) + ": must be above 0");
        }
        replay_ = ReadReplay(options_.replay, options_.column, settings_.rate);
        view_.rateNote = Format("replay at %g x: recorded at %g Hz", options_.speed, replay_->rate);
        if (replay_->missing != 0) {
            Warn(Format("%zu samples the record marks missing are left out", replay_->missing));
        }
        const RateVerdict verdict = JudgeRate(replay_->rate, settings_.rate);
        if (verdict.outsideTolerance) {
            view_.rate = verdict;
            Warn(verdict.Text());
        }
        return;
    }
    device_ = std::make_unique<InputDevice>(options_.source, options_.baud);
    decoder_ = std::make_unique<StreamDecoder>(options_.format, options_.column);
    view_.rateNote = "sampling rate: measuring";
}

int MonitorRun::Run()
{
    OpenSource();
    if (!options_.record.empty()) {
        recording_ = std::make_unique<MonitorRecording>(options_.record, name_, settings_.rate);
    }
    if (!live_) {
        std::fputs(EstimateTableHeader().c_str(), stdout);
        std::fflush(stdout);
    } else {
        std::fputs(kEnterScreen, stdout);
    }
    try {
        Loop();
    } catch (...) {
        LeaveScreen();
        if (recording_) {
            try {
                recording_->Commit();
            } catch (const ToolkitError &error) {
                std::fprintf(stderr, "qzkit monitor: %s\n", error.what());
            }
        }
        throw;
    }
    LeaveScreen();
    if (recording_) {
        recording_->Commit();
    }
    std::fprintf(stderr, "qzkit monitor: %s; %s\n", ending_.c_str(), Summary().c_str());
    if (!options_.check) {
        return 0;
    }
    return identical_ > 0 && differing_ == 0 && unverifiable_ == 0 ? 0 : 1;
}

void MonitorRun::Loop()
{
    const StopOnEndingSignals stop;  // a signal ends the loop (and interrupts its wait), not the program
    // Past a file size limit a write fails (a full target) instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    start_ = Clock::now();
    for (;;) {
        const double now = Seconds();
        pollfd watched{-1, POLLIN, 0};
        double wait = kRedrawSeconds;
        if (replay_) {
            wait = std::min(wait, (static_cast<double>(replayed_ + 1) / (replay_->rate * options_.speed)) - now);
        } else {
            watched.fd = device_->Descriptor();
        }
        const int timeout = static_cast<int>(std::clamp(std::ceil(wait * 1000.0), 1.0, 1000.0 * kRedrawSeconds));
        if (!StopRequested() && ::poll(&watched, 1, timeout) < 0 && errno != EINTR) {
            throw ToolkitError(std::string("cannot wait for the stream: ") + std::strerror(errno));
        }
        if (StopRequested()) {
            ending_ = "stopped by a signal";
            return;
        }
        const double after = Seconds();
        if (replay_) {
            PlayReplay(after);
            if (replayed_ == replay_->samples.size()) {
                ending_ = "end of the replay";
                return;
            }
        } else if (watched.revents != 0 && !ReadSource(after)) {
            return;
        }
        if (device_) {
            CheckStall(after);
        }
        if (recording_ && after - lastCommit_ >= kCommitSeconds) {
            recording_->Commit();
            lastCommit_ = after;
        }
        Redraw(false);
    }
}

// Reads what the source has; false when it ended or went away.
bool MonitorRun::ReadSource(double now)
{
    std::array<std::uint8_t, kReadBytes> buffer{};
    const ssize_t count = ::read(device_->Descriptor(), buffer.data(), buffer.size());
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    std::vector<StreamEvent> events;
    if (count <= 0) {
        decoder_->Finish(events);
        for (const StreamEvent &event : events) {
            Handle(event);
        }
        ending_ = count == 0 && !device_->IsTerminal()
                      ? "end of " + device_->Name()
                      // cppcheck-suppress knownConditionTrueFalse ; a terminal's count 0 comes here
                      : device_->Name() + " went away (" + (count == 0 ? "hung up" : std::strerror(errno)) + ")";
        return false;
    }
    decoder_->Feed(std::span(buffer.data(), static_cast<std::size_t>(count)), events);
    for (const StreamEvent &event : events) {
        Handle(event);
        if (!ending_.empty()) {
            return false;
        }
    }
    lastData_ = now;
    NoteRate(now);
    return true;
}

void MonitorRun::PlayReplay(double now)
{
    const auto due = std::min(replay_->samples.size(),
                              static_cast<std::size_t>(std::floor(now * replay_->rate * options_.speed)));
    for (; replayed_ < due; ++replayed_) {
        AddSample(replay_->samples[replayed_]);
    }
    lastData_ = now;
}

void MonitorRun::Handle(const StreamEvent &event)
{
    switch (event.kind) {
    case StreamEvent::Kind::Sample:
        badRun_ = 0;
        AddSample(event.value);
        break;
    case StreamEvent::Kind::Result:
        if (options_.check) {
            Show(session_.CheckDeviceResult(event.result));
        }
        break;
    case StreamEvent::Kind::End:
        ending_ = "end of the firmware's stream";
        break;
    case StreamEvent::Kind::BadLine:
        session_.AddBadLine();
        lastBadLine_ = event.line;
        dirty_ = true;
        if (++badRun_ >= options_.badLineRun) {
            throw ToolkitError(Format("%zu unreadable lines in a row (the last: %s): ", badRun_,
                                      Quoted(lastBadLine_).c_str()) +
                               (device_ && device_->IsTerminal() ? Format("is %u the board's baud rate (--baud)?", options_.baud)
                                                      : std::string("is --format or --column right?")));
        }
        break;
    }
}

void MonitorRun::AddSample(std::int64_t value)
{
    std::optional<Estimate> estimate = session_.AddSample(value);
    if (recording_) {
        recording_->AddSample(ClippedSample(value));
    }
    dirty_ = true;
    if (estimate) {
        Show(std::move(*estimate));
    }
}

StreamState MonitorRun::State() const
{
    return {Seconds(), arrival_.Measured(), session_.Clipped(), session_.BadLines()};
}

void MonitorRun::Show(Estimate estimate)
{
    ++estimates_;
    const std::string row = EstimateTableRow(estimate, settings_.rate, State());
    if (!live_) {
        std::fputs(row.c_str(), stdout);
        std::fflush(stdout);
    }
    if (recording_) {
        recording_->AddEstimateRow(row);
    }
    if (estimate.verdict) {
        switch (*estimate.verdict) {
        case CheckVerdict::Identical:
            ++identical_;
            break;
        case CheckVerdict::Differs:
            ++differing_;
            ReportDifference(estimate);
            break;
        case CheckVerdict::NotInStream:
            ++unverifiable_;
            Warn(Format("window ending at sample %llu: not all of its samples were received (%llu so far)",
                        static_cast<unsigned long long>(estimate.end),
                        static_cast<unsigned long long>(session_.Samples())));
            break;
        }
        view_.checks = Format("checked %zu: %zu identical, %zu differ, %zu not in the stream",
                              identical_ + differing_ + unverifiable_, identical_, differing_, unverifiable_);
    }
    if (!estimate.window.empty()) {
        const ResultRecord &result = estimate.run.result;
        view_.bpmHistory.push_back(result.qi < 3 ? result.bpm : 0);
        if (view_.bpmHistory.size() > kBpmHistoryLength) {
            view_.bpmHistory.pop_front();
        }
        latest_ = std::move(estimate);
    }
    dirty_ = true;
}

void MonitorRun::ReportDifference(const Estimate &estimate)
{
    std::string message = Format("window ending at sample %llu differs (%s)",
                                 static_cast<unsigned long long>(estimate.end),
                                 FirstDifference(estimate.run.words, *estimate.device).c_str());
    if (saved_ < kMostSavedWindows) {
        const std::filesystem::path directory = options_.record.empty() ? std::filesystem::path(".") : options_.record;
        const std::filesystem::path base = SaveDifferingWindow(directory, name_, estimate);
        ++saved_;
        message += "; saved as " + base.string() + ".ecg, .out (desktop) and .device.out";
    }
    Warn(message);
}

void MonitorRun::NoteRate(double now)
{
    arrival_.Note(now, session_.Samples());
    const std::optional<double> measured = arrival_.Measured();
    if (!measured) {
        return;
    }
    view_.rate = JudgeRate(*measured, settings_.rate);
    if (view_.rate->outsideTolerance != rateWarned_) {
        rateWarned_ = view_.rate->outsideTolerance;
        if (!live_) {
            std::fprintf(stderr, "qzkit monitor: %s%s\n", rateWarned_ ? "warning: " : "",
                         view_.rate->Text().c_str());
        }
    }
}

void MonitorRun::CheckStall(double now)
{
    const bool stalled = now - lastData_ >= options_.stallSeconds;
    if (stalled == !view_.stall.empty()) {
        return;
    }
    view_.stall = stalled ? Format("no data from %s for %g s", device_->Name().c_str(), options_.stallSeconds) : "";
    dirty_ = true;
    if (stalled) {
        arrival_.Restart();
    }
    if (!live_) {
        std::fprintf(stderr, "qzkit monitor: %s\n",
                     stalled ? ("warning: " + view_.stall).c_str() : ("data again from " + device_->Name()).c_str());
    }
}

void MonitorRun::Warn(const std::string &message)
{
    if (live_) {
        view_.warnings.push_back(message);
        if (view_.warnings.size() > 3) {
            view_.warnings.erase(view_.warnings.begin());
        }
        dirty_ = true;
    } else {
        std::fprintf(stderr, "qzkit monitor: warning: %s\n", message.c_str());
    }
}

void MonitorRun::Redraw(bool force)
{
    const double now = Seconds();
    if (!live_ || (!force && (!dirty_ || now - lastDraw_ < kRedrawSeconds))) {
        return;
    }
    winsize size{};
    const bool known = ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0;
    view_.latest = latest_ ? &*latest_ : nullptr;
    view_.samples = session_.Samples();
    view_.clipped = session_.Clipped();
    view_.badLines = session_.BadLines();
    const std::string screen = ScreenUpdate(LiveViewLines(view_, known ? size.ws_col : 80u, known ? size.ws_row : 24u));
    std::fputs(screen.c_str(), stdout);
    std::fflush(stdout);
    lastDraw_ = now;
    dirty_ = false;
}

void MonitorRun::LeaveScreen()
{
    if (live_) {
        Redraw(true);
        std::fputs(kLeaveScreen, stdout);
        std::fflush(stdout);
    }
}

std::string MonitorRun::Summary() const
{
    std::string text = Format("%llu samples, %zu estimates, %llu clipped, %llu bad lines",
                              static_cast<unsigned long long>(session_.Samples()), estimates_,
                              static_cast<unsigned long long>(session_.Clipped()),
                              static_cast<unsigned long long>(session_.BadLines()));
    if (options_.check) {
        text += "; " + view_.checks;
    }
    if (recording_) {
        text += Format("; kept in %s (.hea, .dat, .estimates.csv)", recording_->RecordPath().c_str());
    }
    return text;
}

}  // namespace

int RunMonitor(const MonitorOptions &options)
{
    MonitorRun run(options);
    return run.Run();
}

}  // namespace qzkit
