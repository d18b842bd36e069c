// SPDX-License-Identifier: Apache-2.0
// Running many independent jobs on the machine's cores. The heart-rate
// library is one global state, so each worker is a process of its own
// (forked), sending its results back through a pipe; the results do not
// depend on how many workers there are or in which order they finish.
#ifndef QZKIT_WORKER_PROCESSES_H
#define QZKIT_WORKER_PROCESSES_H

#include <cstddef>
#include <cstring>
#include <functional>
#include <span>
#include <type_traits>

namespace qzkit {

using StopRequest = std::function<bool()>;

// A job writes its result, a fixed number of bytes, into the span it is given.
using ByteJob = std::function<void(std::size_t index, std::span<unsigned char> result)>;
using ByteDone = std::function<void(std::size_t index, std::span<const unsigned char> result)>;

// Runs `job` for every index below `count` on `workers` processes (in this
// process when `workers` is 1), calling `done` here as each result of
// `resultSize` bytes arrives. `stop` is asked between results; when it
// answers true the workers are ended and the call returns false with the
// results that arrived. True when every job ran. ToolkitError when a worker
// fails.
bool RunBytesInWorkers(std::size_t count, std::size_t workers, std::size_t resultSize, const ByteJob &job,
                       const ByteDone &done, const StopRequest &stop);

// Processor time, in seconds, of this process and of its worker processes
// that have ended.
double ProcessorSeconds();

// The same for jobs whose result is a trivially copyable `Result`:
// `job(index)` returns it, `done(index, result)` takes it.
template <typename Result, typename Job, typename Done>
bool RunInWorkers(std::size_t count, std::size_t workers, const Job &job, const Done &done, const StopRequest &stop)
{
    static_assert(std::is_trivially_copyable_v<Result>);
    return RunBytesInWorkers(
        count, workers, sizeof(Result),
        [&job](std::size_t index, std::span<unsigned char> bytes) {
            const Result result = job(index);
            std::memcpy(bytes.data(), &result, sizeof result);
        },
        [&done](std::size_t index, std::span<const unsigned char> bytes) {
            Result result;
            std::memcpy(&result, bytes.data(), sizeof result);
            done(index, result);
        },
        stop);
}

}  // namespace qzkit

#endif
