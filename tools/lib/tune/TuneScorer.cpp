// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneScorer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "io/TextFormat.h"
#include "io/TextParsing.h"
#include "run/RunSettingsText.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr int kPollMilliseconds = 200;     // how often a wait asks whether to stop
constexpr std::size_t kLongestLine = 4096;  // an answer is some 200 bytes
constexpr std::size_t kShownBytes = 60;     // of a wrong line, in its error

const char *SetName(ScoreSet set)
{
    return set == ScoreSet::Training ? "training" : "validation";
}

std::string Shown(const std::string &line)
{
    return "'" + (line.size() > kShownBytes ? line.substr(0, kShownBytes) + "..." : line) + "'";
}

// The scores of an answer "INDEX COUNTS" to one of `answered.size()`
// requests not answered yet; its index in `index`.
TuneScores ParseAnswer(const std::string &line, const std::vector<bool> &answered, std::size_t &index)
{
    const std::size_t space = line.find(' ');
    std::int64_t value = -1;
    if (space == std::string::npos || !ParseInteger(line.substr(0, space), value) || value < 0 ||
        static_cast<std::uint64_t>(value) >= answered.size() || answered[static_cast<std::size_t>(value)]) {
        throw ToolkitError("the scorer's answer " + Shown(line) + " names no request waiting for its scores");
    }
    const std::optional<TuneScores> scores = ParseCounts(std::string_view(line).substr(space + 1), true);
    if (!scores || !Possible(*scores)) {
        throw ToolkitError("the scorer's answer " + Shown(line) + " holds no possible scores");
    }
    index = static_cast<std::size_t>(value);
    return *scores;
}

}  // namespace

LocalScorer::LocalScorer(const TuneData &data, std::size_t workers, StopRequest stop)
    : data_(data), workers_(workers), stop_(std::move(stop))
{
}

bool LocalScorer::Score(const std::vector<ScoreRequest> &requests, const ScoreArrived &arrived)
{
    return RunInWorkers<TuneScores>(
        requests.size(), workers_,
        [this, &requests](std::size_t i) {
            return ScoreCandidate(data_, requests[i].image, requests[i].settings, requests[i].set);
        },
        arrived, stop_);
}

OutsideScorer::OutsideScorer(int descriptor, const std::vector<TuneShard> &shards, StopRequest stop)
    : descriptor_(descriptor), stop_(std::move(stop))
{
    struct stat status {};
    const int flags = ::fcntl(descriptor_, F_GETFL);
    if (flags < 0 || ::fstat(descriptor_, &status) != 0 || !S_ISSOCK(status.st_mode) ||
        ::fcntl(descriptor_, F_SETFL, flags | O_NONBLOCK) != 0 || ::fcntl(descriptor_, F_SETFD, FD_CLOEXEC) != 0) {
        throw ToolkitError(Format("--scorer-fd %d: not an open socket", descriptor_));
    }
    std::string greeting = std::string(kScoringTitle) + "\n";
    for (const TuneShard &shard : shards) {
        greeting += std::string("shard ") + SetName(shard.set) + " " + shard.text + "\n";
    }
    const std::optional<std::string> ready = Send(greeting + "end\n") ? ReadLine() : std::nullopt;
    if (!ready) {
        throw ToolkitError(stop_() ? "stopped before the scorer was ready" : "the scorer ended before it was ready");
    }
    std::int64_t workers = 0;
    if (ready->rfind("ready ", 0) != 0 || !ParseInteger(ready->substr(6), workers) || workers < 1) {
        throw ToolkitError("the scorer answered " + Shown(*ready) + ", not 'ready WORKERS'");
    }
    workers_ = static_cast<std::size_t>(workers);
}

bool OutsideScorer::Score(const std::vector<ScoreRequest> &requests, const ScoreArrived &arrived)
{
    if (requests.empty()) {
        return true;
    }
    std::string batch = Format("batch %zu\n", requests.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
        batch += Format("score %zu %s ", i, SetName(requests[i].set)) + SettingsText(requests[i].settings) + " " +
                 ImageHex(requests[i].image) + "\n";
    }
    if (!Send(batch)) {
        return false;
    }
    std::vector<bool> answered(requests.size());
    for (std::size_t left = requests.size(); left > 0; --left) {
        const std::optional<std::string> line = ReadLine();
        if (!line) {
            return false;
        }
        std::size_t index = 0;
        const TuneScores scores = ParseAnswer(*line, answered, index);
        answered[index] = true;
        arrived(index, scores);
    }
    return true;
}

// Writes all of `text`; false when asked to stop first or the scorer has
// closed its end (after which nothing is sent).
bool OutsideScorer::Send(const std::string &text)
{
    for (std::size_t done = 0; done < text.size();) {
        if (closed_ || !Wait(POLLOUT)) {
            closed_ = true;  // a batch cut short: the conversation cannot go on
            return false;
        }
        const ssize_t written = ::write(descriptor_, text.data() + done, text.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (errno == EPIPE || errno == ECONNRESET) {
            closed_ = true;
        } else if (errno != EINTR && errno != EAGAIN) {
            throw ToolkitError(std::string("cannot write to the scorer: ") + std::strerror(errno));
        }
    }
    return true;
}

// The next line from the scorer; none when asked to stop first or the
// scorer has closed its end.
std::optional<std::string> OutsideScorer::ReadLine()
{
    for (;;) {
        const std::size_t end = received_.find('\n');
        if (end != std::string::npos) {
            std::string line = received_.substr(0, end);
            received_.erase(0, end + 1);
            return line;
        }
        if (received_.size() > kLongestLine) {
            throw ToolkitError("the scorer sent a line longer than " + std::to_string(kLongestLine) + " bytes");
        }
        if (closed_ || !Wait(POLLIN)) {
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t got = ::read(descriptor_, chunk, sizeof chunk);
        if (got > 0) {
            received_.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0 || errno == ECONNRESET) {
            closed_ = true;
        } else if (errno != EINTR && errno != EAGAIN) {
            throw ToolkitError(std::string("cannot read from the scorer: ") + std::strerror(errno));
        }
    }
}

// Waits until the socket is ready for `events` (or closed); false when asked
// to stop first.
bool OutsideScorer::Wait(short events)
{
    for (;;) {
        if (stop_()) {
            return false;
        }
        pollfd socket{descriptor_, events, 0};
        const int ready = ::poll(&socket, 1, kPollMilliseconds);
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            throw ToolkitError(std::string("cannot wait for the scorer: ") + std::strerror(errno));
        }
    }
}

}  // namespace qzkit
