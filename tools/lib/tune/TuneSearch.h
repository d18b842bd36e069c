// SPDX-License-Identifier: Apache-2.0
// The search of `constants tune`: a coarse grid over the space, then a local
// search from its best points (each free knob moved by a step that halves
// when no neighbour is better), and on request a last local search over the
// raw fields of the best set. Every candidate is checked before it is
// scored; a refused one is kept with its reason. The same space, seed and
// scores give the same points in the same order.
#ifndef QZKIT_TUNE_SEARCH_H
#define QZKIT_TUNE_SEARCH_H

#include <cstddef>
#include <cstdint>
#include <functional>
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

struct BatchInfo {
    std::string_view phase;      // "grid", "local", "raw"
    std::size_t evaluated = 0;   // before this batch
    std::size_t expectedLater = 0;  // a guess at the evaluations after it
};

// Scores `images` (with the candidates' settings) into `scores`; false when
// asked to stop, with the scores that were made.
using BatchScorer = std::function<bool(const std::vector<Candidate> &candidates,
                                       const std::vector<ConstantsImage> &images,
                                       std::vector<std::optional<TuneScores>> &scores, const BatchInfo &info)>;

struct SearchLog {
    std::vector<Evaluated> evaluated;  // in the order scored
    std::vector<Refused> refused;
    bool stopped = false;  // asked to stop, or the evaluation limit reached

    // The best point by the ranking; none when nothing was scored.
    std::optional<std::size_t> Best(const Ranking &ranking) const;
};

SearchLog Search(const SearchOptions &options, const Ranking &ranking, const BatchScorer &scorer);

}  // namespace qzkit

#endif
