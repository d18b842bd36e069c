// SPDX-License-Identifier: Apache-2.0
// Who makes the scores of `constants tune`: this machine's worker processes,
// or a scorer outside the program (a cluster) on the other end of a socket,
// which is told the data's shards, asked for batches of candidates and
// answers with each candidate's counts summed over the shards of its set.
//
// The conversation, one line per message:
//   qzkit -> scorer  "qzkit constants tune scoring 1", then "shard SET TEXT"
//                    for each shard (SET: training or validation), then "end"
//   scorer -> qzkit  "ready WORKERS" (the processes that score)
//   qzkit -> scorer  for each batch "batch N", then N lines
//                    "score INDEX SET MASK PEAK BEAT DERIV HEX" (INDEX 0 to N-1,
//                    HEX the 31 bytes of the constants)
//   scorer -> qzkit  for each request, in any order, "INDEX COUNTS" (CountsText
//                    with the validation counts)
// qzkit closes the socket when the search is over; a scorer that closes it
// asks the search to stop (its files are written with what was scored).
#ifndef QZKIT_TUNE_SCORER_H
#define QZKIT_TUNE_SCORER_H

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run/WorkerProcesses.h"
#include "tune/TuneData.h"

namespace qzkit {

inline constexpr const char *kScoringTitle = "qzkit constants tune scoring 1";

// One candidate to score on the training set (battery and training
// manifests) or on the validation manifests.
struct ScoreRequest {
    ConstantsImage image{};
    qz::run_settings_struct settings;
    ScoreSet set = ScoreSet::Training;
};

// Called as each score arrives: the index of its request and the scores.
using ScoreArrived = std::function<void(std::size_t index, const TuneScores &scores)>;

class CandidateScorer {
public:
    virtual ~CandidateScorer() = default;
    // Scores every request, calling `arrived` as each score arrives (in any
    // order). False when stopped first, with the scores that arrived.
    // ToolkitError when the scoring fails.
    virtual bool Score(const std::vector<ScoreRequest> &requests, const ScoreArrived &arrived) = 0;
    // The processes that score, for the summary.
    virtual std::size_t Workers() const = 0;
};

// ScoreCandidate on `workers` processes of this machine.
class LocalScorer final : public CandidateScorer {
public:
    LocalScorer(const TuneData &data, std::size_t workers, StopRequest stop);
    bool Score(const std::vector<ScoreRequest> &requests, const ScoreArrived &arrived) override;
    std::size_t Workers() const override { return workers_; }

private:
    const TuneData &data_;
    std::size_t workers_;
    StopRequest stop_;
};

// The scorer on the other end of the socket `descriptor`, told `shards` and
// waited for until it is ready. ToolkitError when `descriptor` is no open
// socket or pipe, or the scorer ends or answers wrongly before it is ready.
class OutsideScorer final : public CandidateScorer {
public:
    OutsideScorer(int descriptor, const std::vector<TuneShard> &shards, StopRequest stop);
    bool Score(const std::vector<ScoreRequest> &requests, const ScoreArrived &arrived) override;
    std::size_t Workers() const override { return workers_; }

private:
    bool Send(const std::string &text);
    std::optional<std::string> ReadLine();
    bool Wait(short events);

    int descriptor_;
    StopRequest stop_;
    std::size_t workers_ = 1;
    std::string received_;
    bool closed_ = false;
};

}  // namespace qzkit

#endif
