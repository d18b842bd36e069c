// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneSearch.h"

#include <algorithm>

namespace qzkit {

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

TuneSearch::TuneSearch(const SearchOptions &options, const Ranking &ranking) : options_(options), ranking_(ranking)
{
}

const Batch &TuneSearch::Ask()
{
    if (asked_) {
        return batch_;
    }
    while (phase_ != Phase::Done) {
        if (!Plan()) {
            continue;
        }
        Prepare();
        if (!batch_.candidates.empty()) {
            asked_ = true;
            return batch_;
        }
        Advance(Indices());
    }
    batch_ = Batch{};
    return batch_;
}

void TuneSearch::Tell(const std::vector<std::optional<TuneScores>> &scores)
{
    if (!asked_) {
        return;
    }
    asked_ = false;
    bool complete = true;
    for (std::size_t i = 0; i < batch_.candidates.size(); ++i) {
        if (i < scores.size() && scores[i]) {
            seen_[batch_.candidates[i].Key()] = log_.evaluated.size();
            log_.evaluated.push_back({batch_.candidates[i], batch_.images[i], *scores[i]});
        } else {
            complete = false;
        }
    }
    if (complete) {
        Advance(Indices());
    } else {
        Stop();
    }
}

void TuneSearch::Stop()
{
    log_.stopped = true;
    phase_ = Phase::Done;
    asked_ = false;
}

// The candidates of the phase's next step into `request_`; false when the
// phase ended instead (the next phase is entered).
bool TuneSearch::Plan()
{
    const std::size_t roundsLeft = options_.rounds - std::min(options_.rounds, round_ + 1);
    switch (phase_) {
    case Phase::Grid:
        request_ = Grid(options_.space, options_.seed);
        batch_.phase = "grid";
        batch_.expectedLater = 2 * kKnobs * options_.starts * options_.rounds;
        return true;
    case Phase::Local:
        request_.clear();
        walkSizes_.clear();
        for (const Walk &walk : walks_) {
            if (round_ >= options_.rounds || log_.stopped) {
                break;
            }
            const std::vector<Candidate> next =
                walk.done ? std::vector<Candidate>{}
                          : Neighbours(log_.evaluated[walk.at].candidate, options_.space, walk.steps);
            request_.insert(request_.end(), next.begin(), next.end());
            walkSizes_.push_back(next.size());
        }
        if (request_.empty()) {
            EnterRawOrEnd();
            return false;
        }
        batch_.phase = "local";
        batch_.expectedLater = request_.size() * roundsLeft;
        return true;
    case Phase::Raw:
        if (!rawAt_ || round_ >= options_.rounds || log_.stopped) {
            phase_ = Phase::Done;
            return false;
        }
        request_ = RawNeighbours(log_.evaluated[*rawAt_].candidate);
        batch_.phase = "raw";
        batch_.expectedLater = request_.size() * roundsLeft;
        return true;
    default:
        return false;
    }
}

// The candidates of the request not seen before, designed and checked: a
// refused one is logged, and none past the evaluation limit is taken.
void TuneSearch::Prepare()
{
    batch_.candidates.clear();
    batch_.images.clear();
    batch_.evaluated = log_.evaluated.size();
    for (const Candidate &candidate : request_) {
        const std::string key = candidate.Key();
        if (seen_.count(key) != 0 || log_.stopped) {
            continue;
        }
        seen_[key] = std::nullopt;
        CandidateImage image = ImageOf(candidate);
        if (!image.image) {
            log_.refused.push_back({candidate, image.refusal});
            continue;
        }
        if (options_.maxEvaluations != 0 &&
            log_.evaluated.size() + batch_.candidates.size() >= options_.maxEvaluations) {
            log_.stopped = true;
            continue;
        }
        batch_.candidates.push_back(candidate);
        batch_.images.push_back(*image.image);
    }
}

// For each candidate of the request, the index of its point in the log;
// none for a refused or unscored one.
std::vector<std::optional<std::size_t>> TuneSearch::Indices() const
{
    std::vector<std::optional<std::size_t>> indices;
    for (const Candidate &candidate : request_) {
        const auto found = seen_.find(candidate.Key());
        indices.push_back(found == seen_.end() ? std::nullopt : found->second);
    }
    return indices;
}

void TuneSearch::Advance(const std::vector<std::optional<std::size_t>> &indices)
{
    switch (phase_) {
    case Phase::Grid:
        EnterLocal();
        break;
    case Phase::Local: {
        std::size_t offset = 0;
        for (std::size_t w = 0; w < walks_.size(); ++w) {
            const auto first = indices.begin() + static_cast<std::ptrdiff_t>(offset);
            const std::optional<std::size_t> better =
                Improvement(walks_[w].at, {first, first + static_cast<std::ptrdiff_t>(walkSizes_[w])});
            offset += walkSizes_[w];
            if (better) {
                walks_[w].at = *better;
            } else if (!walks_[w].done) {
                walks_[w].done = !HalveSteps(walks_[w].steps);
            }
        }
        ++round_;
        break;
    }
    case Phase::Raw: {
        const std::optional<std::size_t> better = Improvement(*rawAt_, indices);
        if (!better) {
            phase_ = Phase::Done;
        }
        rawAt_ = better;
        ++round_;
        break;
    }
    default:
        break;
    }
}

void TuneSearch::EnterLocal()
{
    phase_ = Phase::Local;
    round_ = 0;
    walks_.clear();
    for (const std::size_t start : StartPoints()) {
        walks_.push_back({start, FirstSteps(options_.space)});
    }
}

void TuneSearch::EnterRawOrEnd()
{
    phase_ = options_.refineRaw ? Phase::Raw : Phase::Done;
    round_ = 0;
    rawAt_ = log_.Best(ranking_);
}

// The best of `indices` if it beats the point at `current`.
std::optional<std::size_t> TuneSearch::Improvement(std::size_t current,
                                                   const std::vector<std::optional<std::size_t>> &indices) const
{
    std::optional<std::size_t> best;
    for (const std::optional<std::size_t> &index : indices) {
        const std::size_t against = best ? *best : current;
        if (index && ranking_.Better(log_.evaluated[*index].scores, log_.evaluated[against].scores)) {
            best = index;
        }
    }
    return best;
}

std::vector<std::size_t> TuneSearch::StartPoints() const
{
    std::vector<std::size_t> order(log_.evaluated.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return ranking_.Better(log_.evaluated[a].scores, log_.evaluated[b].scores);
    });
    order.resize(std::min(order.size(), options_.starts));
    return order;
}

SearchLog Search(const SearchOptions &options, const Ranking &ranking, const BatchScorer &scorer)
{
    TuneSearch search(options, ranking);
    for (const Batch *batch = &search.Ask(); !batch->candidates.empty(); batch = &search.Ask()) {
        std::vector<std::optional<TuneScores>> scores(batch->candidates.size());
        const bool complete = scorer(*batch, scores);
        search.Tell(scores);
        if (!complete) {
            search.Stop();
        }
    }
    return search.TakeLog();
}

}  // namespace qzkit
