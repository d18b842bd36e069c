// SPDX-License-Identifier: Apache-2.0
// Scoring many candidates on the machine's cores. The heart-rate library is
// one global state, so each worker is a process of its own (forked), sending
// its scores back through a pipe; the results do not depend on how many
// workers there are or in which order they finish.
#ifndef QZKIT_TUNE_WORKERS_H
#define QZKIT_TUNE_WORKERS_H

#include <cstddef>
#include <functional>

#include "tune/TuneScores.h"

namespace qzkit {

using ScoreJob = std::function<TuneScores(std::size_t index)>;
using ScoreDone = std::function<void(std::size_t index, const TuneScores &scores)>;
using StopRequest = std::function<bool()>;

// Runs `job` for every index below `count` on `workers` processes (in this
// process when `workers` is 1), calling `done` here as each result arrives.
// `stop` is asked between results; when it answers true the workers are
// ended and the call returns false with the results that arrived. True when
// every job ran. ToolkitError when a worker fails.
bool ScoreInWorkers(std::size_t count, std::size_t workers, const ScoreJob &job, const ScoreDone &done,
                    const StopRequest &stop);

}  // namespace qzkit

#endif
