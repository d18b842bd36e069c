// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneSearch.h"

#include <algorithm>
#include <map>

namespace qzkit {
namespace {

class SearchRun {
public:
    SearchRun(const SearchOptions &options, const Ranking &ranking, const BatchScorer &scorer)
        : options_(options), ranking_(ranking), scorer_(scorer)
    {
    }

    // Scores the candidates not seen before; the index of each candidate's
    // point in the log, none for a refused or unscored one.
    std::vector<std::optional<std::size_t>> Evaluate(const std::vector<Candidate> &batch, std::string_view phase,
                                                     std::size_t expectedLater)
    {
        std::vector<Candidate> pending;
        std::vector<ConstantsImage> images;
        for (const Candidate &candidate : batch) {
            const std::string key = candidate.Key();
            if (seen_.count(key) != 0 || log.stopped) {
                continue;
            }
            seen_[key] = std::nullopt;
            CandidateImage image = ImageOf(candidate);
            if (!image.image) {
                log.refused.push_back({candidate, image.refusal});
                continue;
            }
            if (options_.maxEvaluations != 0 && log.evaluated.size() + pending.size() >= options_.maxEvaluations) {
                log.stopped = true;
                continue;
            }
            pending.push_back(candidate);
            images.push_back(*image.image);
        }
        std::vector<std::optional<TuneScores>> scores(pending.size());
        if (!pending.empty() && !scorer_(pending, images, scores, {phase, log.evaluated.size(), expectedLater})) {
            log.stopped = true;
        }
        for (std::size_t i = 0; i < pending.size(); ++i) {
            if (scores[i]) {
                seen_[pending[i].Key()] = log.evaluated.size();
                log.evaluated.push_back({pending[i], images[i], *scores[i]});
            }
        }
        std::vector<std::optional<std::size_t>> indices;
        for (const Candidate &candidate : batch) {
            indices.push_back(seen_[candidate.Key()]);
        }
        return indices;
    }

    // The best of `indices` if it beats the point at `current`.
    std::optional<std::size_t> Improvement(std::size_t current, const std::vector<std::optional<std::size_t>> &indices)
    {
        std::optional<std::size_t> best;
        for (const std::optional<std::size_t> &index : indices) {
            const std::size_t against = best ? *best : current;
            if (index && ranking_.Better(log.evaluated[*index].scores, log.evaluated[against].scores)) {
                best = index;
            }
        }
        return best;
    }

    std::vector<std::size_t> StartPoints() const
    {
        std::vector<std::size_t> order(log.evaluated.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
            return ranking_.Better(log.evaluated[a].scores, log.evaluated[b].scores);
        });
        order.resize(std::min(order.size(), options_.starts));
        return order;
    }

    void LocalSearch()
    {
        struct Walk {
            std::size_t at;
            std::array<double, kKnobs> steps;
            bool done = false;
        };
        std::vector<Walk> walks;
        for (const std::size_t start : StartPoints()) {
            walks.push_back({start, FirstSteps(options_.space)});
        }
        for (std::size_t round = 0; round < options_.rounds && !log.stopped; ++round) {
            std::vector<Candidate> batch;
            std::vector<std::size_t> sizes;
            for (const Walk &walk : walks) {
                const std::vector<Candidate> next =
                    walk.done ? std::vector<Candidate>{}
                              : Neighbours(log.evaluated[walk.at].candidate, options_.space, walk.steps);
                batch.insert(batch.end(), next.begin(), next.end());
                sizes.push_back(next.size());
            }
            if (batch.empty()) {
                return;
            }
            const std::vector<std::optional<std::size_t>> indices =
                Evaluate(batch, "local", batch.size() * (options_.rounds - round - 1));
            std::size_t offset = 0;
            for (std::size_t w = 0; w < walks.size(); ++w) {
                const auto first = indices.begin() + static_cast<std::ptrdiff_t>(offset);
                const std::optional<std::size_t> better =
                    Improvement(walks[w].at, {first, first + static_cast<std::ptrdiff_t>(sizes[w])});
                offset += sizes[w];
                if (better) {
                    walks[w].at = *better;
                } else if (!walks[w].done) {
                    walks[w].done = !HalveSteps(walks[w].steps);
                }
            }
        }
    }

    void RawSearch()
    {
        std::optional<std::size_t> at = log.Best(ranking_);
        for (std::size_t round = 0; at && round < options_.rounds && !log.stopped; ++round) {
            const std::vector<Candidate> batch = RawNeighbours(log.evaluated[*at].candidate);
            const std::optional<std::size_t> better =
                Improvement(*at, Evaluate(batch, "raw", batch.size() * (options_.rounds - round - 1)));
            if (!better) {
                return;
            }
            at = better;
        }
    }

    SearchLog log;

private:
    const SearchOptions &options_;
    const Ranking &ranking_;
    const BatchScorer &scorer_;
    std::map<std::string, std::optional<std::size_t>> seen_;
};

}  // namespace

std::optional<std::size_t> SearchLog::Best(const Ranking &ranking) const
{
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < evaluated.size(); ++i) {
        if (!best || ranking.Better(evaluated[i].scores, evaluated[*best].scores)) {
            best = i;
        }
    }
    return best;
}

SearchLog Search(const SearchOptions &options, const Ranking &ranking, const BatchScorer &scorer)
{
    SearchRun run(options, ranking, scorer);
    const std::vector<Candidate> grid = Grid(options.space, options.seed);
    const std::size_t neighbours = 2 * kKnobs * options.starts;
    run.Evaluate(grid, "grid", neighbours * options.rounds);
    run.LocalSearch();
    if (options.refineRaw) {
        run.RawSearch();
    }
    return std::move(run.log);
}

}  // namespace qzkit
