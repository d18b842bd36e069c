// SPDX-License-Identifier: Apache-2.0
#include "run/WorkerProcesses.h"

#include <poll.h>
#include <sys/resource.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "io/AppendFile.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr int kPollMilliseconds = 200;
// A worker sends its results in batches of this many bytes, or whatever it
// has after this long, so that quick jobs cost few writes and slow ones are
// still reported as they end.
constexpr std::size_t kBatchBytes = 32768;
constexpr auto kBatchTime = std::chrono::milliseconds(20);

// A message is the job's index followed by its result.
std::size_t MessageSize(std::size_t resultSize)
{
    return sizeof(std::size_t) + resultSize;
}

struct Worker {
    pid_t pid = -1;
    int fd = -1;
    std::vector<unsigned char> pending;  // bytes of a message not yet whole
};

[[noreturn]] void RunWorker(int fd, std::size_t first, std::size_t count, std::size_t stride, std::size_t resultSize,
                            const ByteJob &job)
{
    signal(SIGINT, SIG_IGN);  // the parent decides when to stop, and ends the worker with SIGTERM
    signal(SIGHUP, SIG_IGN);
    signal(SIGTERM, SIG_DFL);
    int status = 0;
    const std::size_t size = MessageSize(resultSize);
    std::vector<unsigned char> batch;
    batch.reserve(kBatchBytes + size);
    auto sent = std::chrono::steady_clock::now();
    try {
        for (std::size_t index = first; index < count && status == 0; index += stride) {
            batch.resize(batch.size() + size);
            const std::span<unsigned char> message = std::span(batch).last(size);
            std::memcpy(message.data(), &index, sizeof index);
            job(index, message.subspan(sizeof index));
            const auto now = std::chrono::steady_clock::now();
            if (batch.size() >= kBatchBytes || now - sent >= kBatchTime || index + stride >= count) {
                status = WriteWhole(fd, batch.data(), batch.size()) == 0 ? 0 : 1;
                batch.clear();
                sent = now;
            }
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "worker: %s\n", error.what());
        status = 1;
    }
    _exit(status);
}

Worker StartWorker(std::size_t first, std::size_t count, std::size_t stride, std::size_t resultSize,
                   const ByteJob &job)
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
        RunWorker(fds[1], first, count, stride, resultSize, job);
    }
    close(fds[1]);
    return {pid, fds[0], {}};
}

// Reads what is there; false at the end of the worker's output.
bool Drain(Worker &worker, std::size_t resultSize, const ByteDone &done)
{
    unsigned char buffer[65536];
    const ssize_t got = read(worker.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
        return true;
    }
    if (got <= 0) {
        return false;
    }
    worker.pending.insert(worker.pending.end(), buffer, buffer + got);
    const std::size_t size = MessageSize(resultSize);
    std::size_t used = 0;
    for (; worker.pending.size() - used >= size; used += size) {
        const std::span<const unsigned char> message(worker.pending.data() + used, size);
        std::size_t index = 0;
        std::memcpy(&index, message.data(), sizeof index);
        done(index, message.subspan(sizeof index));
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

double Seconds(const timeval &time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

bool RunHere(std::size_t count, std::size_t resultSize, const ByteJob &job, const ByteDone &done,
             const StopRequest &stop)
{
    std::vector<unsigned char> result(resultSize);
    for (std::size_t index = 0; index < count; ++index) {
        if (stop()) {
            return false;
        }
        job(index, result);
        done(index, result);
    }
    return true;
}

}  // namespace

double ProcessorSeconds()
{
    double seconds = 0.0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        seconds += Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    }
    return seconds;
}

bool RunBytesInWorkers(std::size_t count, std::size_t workers, std::size_t resultSize, const ByteJob &job,
                       const ByteDone &done, const StopRequest &stop)
{
    if (workers <= 1 || count <= 1) {
        return RunHere(count, resultSize, job, done, stop);
    }
    std::vector<Worker> running;
    for (std::size_t w = 0; w < workers && w < count; ++w) {
        running.push_back(StartWorker(w, count, workers, resultSize, job));
    }
    std::size_t open = running.size();
    bool stopped = false;
    while (open > 0 && !stopped) {
        std::vector<pollfd> waiting;
        waiting.reserve(running.size());
        for (const Worker &worker : running) {
            waiting.push_back({worker.fd, POLLIN, 0});
        }
        const int ready = poll(waiting.data(), waiting.size(), kPollMilliseconds);
        for (std::size_t w = 0; ready > 0 && w < running.size(); ++w) {
            if (running[w].fd >= 0 && (waiting[w].revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
                !Drain(running[w], resultSize, done)) {
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
