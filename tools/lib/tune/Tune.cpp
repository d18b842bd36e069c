// SPDX-License-Identifier: Apache-2.0
#include "tune/Tune.h"

#include <chrono>
#include <cstdlib>
#include <set>

#include "io/AtomicFile.h"
#include "io/BaseName.h"
#include "io/TextFormat.h"
#include "tune/TuneData.h"
#include "tune/TuneJournal.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

const char *PickText(PickRule rule)
{
    switch (rule) {
    case PickRule::Battery:
        return "the rule 'battery' (most battery cases, then training windows within tolerance)";
    case PickRule::Manifests:
        return "the rule 'manifests' (most training windows within tolerance, then right QI 0 answers)";
    default:
        return "the rule 'balanced' (best mean of the objectives)";
    }
}

std::string RequirementsText(const TuneOptions &options)
{
    std::string text;
    for (const Requirement &requirement : options.ranking.requirements) {
        text += (text.empty() ? "" : ", ") + requirement.measure + Format(" >= %g", requirement.minimum);
    }
    if (options.keepFamilies) {
        text += std::string(text.empty() ? "" : ", ") + "no battery family worse than the start";
    }
    return text.empty() ? text : " among the points with " + text;
}

// Every output goes into an existing directory and over no input; checked
// before the search.
void CheckOutputs(const TuneOptions &options)
{
    const std::filesystem::path directory =
        options.output.parent_path().empty() ? "." : options.output.parent_path();
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error)) {
        throw ToolkitError(options.output.string() + ": directory " + directory.string() + " does not exist");
    }
    std::vector<std::filesystem::path> inputs = options.training;
    inputs.insert(inputs.end(), options.validation.begin(), options.validation.end());
    if (options.start) {
        inputs.push_back(ConstantsFilePath(*options.start));
    }
    for (const char *suffix :
         {".csv", kConstantsFileExtension, ".constants.txt", ".md", ".svg", ".png", kJournalExtension}) {
        for (const std::filesystem::path &input : inputs) {
            RefuseOutputOverInput(options.output.string() + suffix, {input});
        }
    }
}

TuneData Load(const TuneOptions &options)
{
    EvaluateOptions training;
    training.manifests = options.training;
    EvaluateOptions validation;
    validation.manifests = options.validation;
    return LoadTuneData(options.battery, training, validation);
}

// Scores the indices into `points` on the validation manifests.
void Validate(const TuneData &data, std::vector<Evaluated> &points, const std::vector<std::size_t> &indices,
              std::size_t workers)
{
    RunInWorkers<TuneScores>(
        indices.size(), workers,
        [&](std::size_t i) {
            const Evaluated &point = points[indices[i]];
            return ScoreCandidate(data, point.image, point.candidate.settings, ScoreSet::Validation);
        },
        [&](std::size_t i, const TuneScores &scores) { points[indices[i]].scores.validation = scores.validation; },
        [] { return false; });
}

std::optional<Evaluated> ScoreStart(const TuneOptions &options, const TuneData &data)
{
    if (!options.start) {
        return std::nullopt;
    }
    Evaluated start;
    start.candidate.settings = options.search.space.settings.front();
    start.image = ReadConstantsFile(*options.start);
    start.candidate.raw = start.image;
    start.scores = ScoreCandidate(data, start.image, start.candidate.settings, ScoreSet::Training);
    start.scores.validation =
        ScoreCandidate(data, start.image, start.candidate.settings, ScoreSet::Validation).validation;
    return start;
}

// Scores a batch on the workers; candidates whose scores an earlier run kept
// are not run again.
BatchScorer Scorer(const TuneData &data, const KnownScores &known, std::size_t workers, const StopRequest &stop,
                   const TuneProgress &progress)
{
    return [&data, &known, workers, &stop, &progress](const std::vector<Candidate> &candidates,
                                                      const std::vector<ConstantsImage> &images,
                                                      std::vector<std::optional<TuneScores>> &scores,
                                                      const BatchInfo &info) {
        std::vector<std::size_t> unknown;
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            const auto kept = known.find(candidates[i].Key());
            if (kept != known.end()) {
                scores[i] = kept->second;
            } else {
                unknown.push_back(i);
            }
        }
        std::size_t arrived = candidates.size() - unknown.size();
        return RunInWorkers<TuneScores>(
            unknown.size(), workers,
            [&](std::size_t u) {
                return ScoreCandidate(data, images[unknown[u]], candidates[unknown[u]].settings, ScoreSet::Training);
            },
            [&](std::size_t u, const TuneScores &result) {
                scores[unknown[u]] = result;
                ++arrived;
                progress(info.phase, info.evaluated + arrived, candidates.size() - arrived + info.expectedLater);
            },
            stop);
    };
}

KnownScores Resumed(const TuneOptions &options, std::uint64_t fingerprint)
{
    if (!options.resume) {
        return {};
    }
    const std::filesystem::path journal(options.output.string() + kJournalExtension);
    std::error_code error;
    if (!std::filesystem::exists(journal, error)) {
        throw ToolkitError(journal.string() + ": no points to resume from (run once without --resume)");
    }
    return ReadJournal(journal, fingerprint);
}

std::size_t CountResumed(const SearchLog &log, const KnownScores &known)
{
    std::size_t count = 0;
    for (const Evaluated &point : log.evaluated) {
        count += known.count(point.candidate.Key());
    }
    return count;
}

}  // namespace

ConstantsImage RateOnlyImage(double rate)
{
    ConstantsImage image{};
    WriteFloatValue(image, FindConstantsField("Period"), 0, EncodeFloat24(1.0 / rate));
    return image;
}

TuneResult RunTune(const TuneOptions &options, const StopRequest &stop, const TuneProgress &progress)
{
    CheckOutputs(options);
    const auto begin = std::chrono::steady_clock::now();
    TuneOptions configured = options;
    configured.battery.constants = RateOnlyImage(options.search.space.rate);
    const TuneData data = Load(configured);

    TuneResult result;
    result.command = options.command;
    result.families = data.families;
    result.validated = !data.validation.empty();
    result.workers = options.workers;
    result.fingerprint = DataFingerprint(data);
    const KnownScores known = Resumed(options, result.fingerprint);
    result.start = ScoreStart(options, data);
    result.ranking = options.ranking;
    if (options.keepFamilies) {
        if (!result.start || data.battery.empty()) {
            throw ToolkitError("keeping the battery families needs --start and battery families");
        }
        result.ranking.keepFamilies = result.start->scores.battery;
    }
    result.log = Search(options.search, result.ranking, Scorer(data, known, options.workers, stop, progress));
    result.resumed = CountResumed(result.log, known);
    if (result.log.evaluated.empty()) {
        throw ToolkitError(result.log.refused.empty() ? "stopped before any point was scored"
                                                      : "every candidate was refused (first: " +
                                                            result.log.refused.front().reason + ")");
    }
    std::vector<TuneScores> scores;
    for (const Evaluated &point : result.log.evaluated) {
        scores.push_back(point.scores);
    }
    result.front = ParetoSet(scores, result.ranking);
    if (options.pickRow) {
        if (*options.pickRow == 0 || *options.pickRow > result.front.size()) {
            throw ToolkitError(Format("the Pareto set has %zu rows; row %zu was asked for", result.front.size(),
                                      *options.pickRow));
        }
        result.chosen = result.front[*options.pickRow - 1];
        result.pick = Format("row %zu of the Pareto set", *options.pickRow);
    } else {
        result.chosen = *result.log.Best(result.ranking);
        result.pick = PickText(options.ranking.rule) + RequirementsText(options);
    }
    if (result.validated) {
        std::set<std::size_t> shown(result.front.begin(), result.front.end());
        shown.insert(result.chosen);
        Validate(data, result.log.evaluated, {shown.begin(), shown.end()}, options.workers);
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    double load[1] = {0.0};
    result.loadAverage = getloadavg(load, 1) == 1 ? load[0] : 0.0;
    WriteTuneOutputs(options.output, result);
    return result;
}

}  // namespace qzkit
