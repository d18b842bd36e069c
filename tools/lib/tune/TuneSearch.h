// SPDX-License-Identifier: Apache-2.0
// The search of `constants tune`: a coarse grid over the space, then a local
// search from its best points (each free knob moved by a step that halves
// when no neighbour is better), and on request a last local search over the
// raw fields of the best set. Every candidate is checked before it is
// scored; a refused one is kept with its reason. The same space, seed and
// scores give the same points in the same order.
//
// The search only chooses points: it asks for a batch, is told the batch's
// scores and asks for the next, so the scores may be made anywhere (worker
// processes, other machines) and kept anywhere (the journal) by the loop
// that drives it.
#ifndef QZKIT_TUNE_SEARCH_H
#define QZKIT_TUNE_SEARCH_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tune/TuneScores.h"
#include "tune/TuneSpace.h"

namespace qzkit {

struct Evaluated {
    Candidate candidate;
    ConstantsImage image{};
    TuneScores scores;
};

struct Refused {
    Candidate candidate;
    std::string reason;
};

struct SearchOptions {
    TuneSpace space;
    std::uint32_t seed = 1;
    std::size_t starts = 3;          // points the local search starts from
    std::size_t rounds = 8;          // at most, per local search
    bool refineRaw = false;
    std::size_t maxEvaluations = 0;  // 0: no limit
};

// Points to score: sound, never scored before in this search.
struct Batch {
    std::string_view phase;             // "grid", "local", "raw"; empty when the search is over
    std::vector<Candidate> candidates;
    std::vector<ConstantsImage> images;  // of the candidates, scored with the candidates' settings
    std::size_t evaluated = 0;          // points scored before this batch
    std::size_t expectedLater = 0;      // a guess at the evaluations after it
};

struct SearchLog {
    std::vector<Evaluated> evaluated;  // in the order scored
    std::vector<Refused> refused;
    bool stopped = false;  // asked to stop, or the evaluation limit reached

    // The best point by the ranking; none when nothing was scored.
    std::optional<std::size_t> Best(const Ranking &ranking) const;
};

class TuneSearch {
public:
    TuneSearch(const SearchOptions &options, const Ranking &ranking);

    // The next points to score; an empty batch when the search is over. Asked
    // again before it is told, the same batch.
    const Batch &Ask();

    // The scores of the batch Ask gave, in its order. A missing score (the
    // scoring was stopped) ends the search with the scores told.
    void Tell(const std::vector<std::optional<TuneScores>> &scores);

    // Ends the search; the next Ask gives an empty batch.
    void Stop();

    const SearchLog &Log() const { return log_; }
    SearchLog TakeLog() { return std::move(log_); }

private:
    enum class Phase { Grid, Local, Raw, Done };
    struct Walk {
        std::size_t at;
        std::array<double, kKnobs> steps;
        bool done = false;
    };

    bool Plan();
    void Prepare();
    std::vector<std::optional<std::size_t>> Indices() const;
    void Advance(const std::vector<std::optional<std::size_t>> &indices);
    void EnterLocal();
    void EnterRawOrEnd();
    std::optional<std::size_t> Improvement(std::size_t current,
                                           const std::vector<std::optional<std::size_t>> &indices) const;
    std::vector<std::size_t> StartPoints() const;

    SearchOptions options_;
    Ranking ranking_;
    SearchLog log_;
    Phase phase_ = Phase::Grid;
    std::size_t round_ = 0;
    std::vector<Walk> walks_;
    std::vector<std::size_t> walkSizes_;  // candidates of each walk in the request
    std::optional<std::size_t> rawAt_;
    std::vector<Candidate> request_;  // the step's candidates, scored before or not
    Batch batch_;                     // those of them to score
    bool asked_ = false;
    std::map<std::string, std::optional<std::size_t>> seen_;  // key: index into the log, none if not scored
};

// Scores `batch` into `scores` (one per candidate); false when asked to
// stop, with the scores that were made.
using BatchScorer = std::function<bool(const Batch &batch, std::vector<std::optional<TuneScores>> &scores)>;

// Runs the search to its end with `scorer`.
SearchLog Search(const SearchOptions &options, const Ranking &ranking, const BatchScorer &scorer);

}  // namespace qzkit

#endif
