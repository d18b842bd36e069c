// SPDX-License-Identifier: Apache-2.0
#include "io/TemporaryFiles.h"

#include <cerrno>
#include <csignal>
#include <set>
#include <string>
#include <system_error>
#include <unistd.h>

namespace qzkit {
namespace {

constexpr const char *kTemporaryMarker = ".qzkit-tmp-";
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary files that exist now (a set: a conversion stages tens of
// thousands). Changed only while the ending signals are held back, so the
// handler never sees it half-changed.
std::set<std::string> liveTemporaries;

volatile std::sig_atomic_t stopMode = 0;  // StopOnEndingSignals objects alive
volatile std::sig_atomic_t stopRequested = 0;

extern "C" void OnEndingSignal(int signal)
{
    if (stopMode > 0) {
        stopRequested = 1;
        return;
    }
    for (const std::string &path : liveTemporaries) {
        ::unlink(path.c_str());
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class EndingSignalsHeld {
public:
    EndingSignalsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : kEndingSignals) {
            sigaddset(&held, signal);
        }
        sigprocmask(SIG_BLOCK, &held, &before_);
    }
    ~EndingSignalsHeld() { sigprocmask(SIG_SETMASK, &before_, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld &) = delete;
    EndingSignalsHeld &operator=(const EndingSignalsHeld &) = delete;

private:
    sigset_t before_{};
};

// Signals the program was started to ignore stay ignored. No SA_RESTART: a
// signal taken as a stop request ends a blocking call.
void InstallSignalHandlersOnce()
{
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    for (const int signal : kEndingSignals) {
        struct sigaction current {};
        sigaction(signal, nullptr, &current);
        if (current.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = OnEndingSignal;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

// The process that made a temporary file of ours named `name`, or 0.
pid_t MakerOf(const std::string &name)
{
    const std::size_t marker = name.rfind(kTemporaryMarker);
    if (marker == std::string::npos) {
        return 0;
    }
    const std::size_t digits = marker + std::char_traits<char>::length(kTemporaryMarker);
    const std::size_t dash = name.find('-', digits);
    if (dash == std::string::npos || dash == digits || dash - digits > 9 ||
        name.find_first_not_of("0123456789", digits) != dash) {
        return 0;
    }
    return static_cast<pid_t>(std::stol(name.substr(digits, dash - digits)));
}

}  // namespace

std::filesystem::path TemporaryPathFor(const std::filesystem::path &target)
{
    static unsigned counter = 0;
    std::filesystem::path temporary = target;
    temporary += kTemporaryMarker + std::to_string(getpid()) + "-" + std::to_string(counter++);
    return temporary;
}

void RegisterTemporary(const std::filesystem::path &path)
{
    const EndingSignalsHeld held;
    InstallSignalHandlersOnce();
    liveTemporaries.insert(path.string());
}

void DropTemporary(std::filesystem::path &path)
{
    if (path.empty()) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    const EndingSignalsHeld held;
    liveTemporaries.erase(path.string());
    path.clear();
}

void RemoveLeftovers(const std::filesystem::path &directory)
{
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const pid_t maker = MakerOf(entry->path().filename().string());
        if (maker > 0 && maker != getpid() && ::kill(maker, 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            std::filesystem::remove(entry->path(), ignored);
        }
    }
}

StopOnEndingSignals::StopOnEndingSignals()
{
    const EndingSignalsHeld held;
    InstallSignalHandlersOnce();
    if (stopMode == 0) {
        stopRequested = 0;
    }
    stopMode = stopMode + 1;
}

StopOnEndingSignals::~StopOnEndingSignals()
{
    const EndingSignalsHeld held;
    stopMode = stopMode - 1;
}

bool StopRequested()
{
    return stopRequested != 0;
}

}  // namespace qzkit
