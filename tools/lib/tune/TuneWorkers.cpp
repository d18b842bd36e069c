// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneWorkers.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

#include "ToolkitError.h"

namespace qzkit {
namespace {

static_assert(std::is_trivially_copyable_v<TuneScores>);

constexpr int kPollMilliseconds = 200;

struct ResultMessage {
    std::size_t index;
    TuneScores scores;
};

struct Worker {
    pid_t pid = -1;
    int fd = -1;
    std::vector<unsigned char> pending;  // bytes of a message not yet whole
};

bool WriteAll(int fd, const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const unsigned char *>(data);
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

[[noreturn]] void RunWorker(int fd, std::size_t first, std::size_t count, std::size_t stride, const ScoreJob &job)
{
    signal(SIGINT, SIG_IGN);  // the parent decides when to stop, and ends the worker with SIGTERM
    signal(SIGHUP, SIG_IGN);
    signal(SIGTERM, SIG_DFL);
    int status = 0;
    try {
        for (std::size_t index = first; index < count && status == 0; index += stride) {
            const ResultMessage message{index, job(index)};
            status = WriteAll(fd, &message, sizeof message) ? 0 : 1;
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "worker: %s\n", error.what());
        status = 1;
    }
    _exit(status);
}

Worker StartWorker(std::size_t first, std::size_t count, std::size_t stride, const ScoreJob &job)
{
    int fds[2];
    if (pipe(fds) != 0) {
        throw ToolkitError("cannot make a pipe for a worker");
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        throw ToolkitError("cannot start a worker process");
    }
    if (pid == 0) {
        close(fds[0]);
        RunWorker(fds[1], first, count, stride, job);
    }
    close(fds[1]);
    return {pid, fds[0], {}};
}

// Reads what is there; false at the end of the worker's output.
bool Drain(Worker &worker, const ScoreDone &done)
{
    unsigned char buffer[4096];
    const ssize_t got = read(worker.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
        return true;
    }
    if (got <= 0) {
        return false;
    }
    worker.pending.insert(worker.pending.end(), buffer, buffer + got);
    std::size_t used = 0;
    while (worker.pending.size() - used >= sizeof(ResultMessage)) {
        ResultMessage message;
        std::copy_n(worker.pending.begin() + static_cast<std::ptrdiff_t>(used), sizeof message,
                    reinterpret_cast<unsigned char *>(&message));
        done(message.index, message.scores);
        used += sizeof message;
    }
    worker.pending.erase(worker.pending.begin(), worker.pending.begin() + static_cast<std::ptrdiff_t>(used));
    return true;
}

// Ends the workers still running (when stopped) and collects them; what
// went wrong with the first that failed, or nothing when every worker ended
// on its own with success.
std::string Finish(std::vector<Worker> &workers, bool stopped)
{
    std::string failure;
    for (Worker &worker : workers) {
        if (stopped) {
            kill(worker.pid, SIGTERM);
        }
        int status = 0;
        while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (failure.empty() && WIFSIGNALED(status)) {
            failure = "a worker process was killed by signal " + std::to_string(WTERMSIG(status));
        } else if (failure.empty() && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
            failure = "a worker process failed";
        }
        if (worker.fd >= 0) {
            close(worker.fd);
        }
    }
    return failure;
}

bool ScoreHere(std::size_t count, const ScoreJob &job, const ScoreDone &done, const StopRequest &stop)
{
    for (std::size_t index = 0; index < count; ++index) {
        if (stop()) {
            return false;
        }
        done(index, job(index));
    }
    return true;
}

}  // namespace

bool ScoreInWorkers(std::size_t count, std::size_t workers, const ScoreJob &job, const ScoreDone &done,
                    const StopRequest &stop)
{
    if (workers <= 1 || count <= 1) {
        return ScoreHere(count, job, done, stop);
    }
    std::vector<Worker> running;
    for (std::size_t w = 0; w < workers && w < count; ++w) {
        running.push_back(StartWorker(w, count, workers, job));
    }
    std::size_t open = running.size();
    bool stopped = false;
    while (open > 0 && !stopped) {
        std::vector<pollfd> waiting;
        for (const Worker &worker : running) {
            waiting.push_back({worker.fd, POLLIN, 0});
        }
        const int ready = poll(waiting.data(), waiting.size(), kPollMilliseconds);
        for (std::size_t w = 0; ready > 0 && w < running.size(); ++w) {
            if (running[w].fd >= 0 && (waiting[w].revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
                !Drain(running[w], done)) {
                close(running[w].fd);
                running[w].fd = -1;
                --open;
            }
        }
        stopped = open > 0 && stop();
    }
    const std::string failure = Finish(running, stopped);
    if (!failure.empty() && !stopped) {
        throw ToolkitError(failure);
    }
    return !stopped;
}

}  // namespace qzkit
