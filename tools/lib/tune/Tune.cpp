// SPDX-License-Identifier: Apache-2.0
#include "tune/Tune.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>

#include "io/AtomicFile.h"
#include "io/BaseName.h"
#include "io/TemporaryFiles.h"
#include "io/TextFormat.h"
#include "tune/TuneData.h"
#include "tune/TuneJournal.h"
#include "tune/TuneScorer.h"
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

// The requirements in words ("within >= 90, no battery family worse than
// the start"); empty when there are none.
std::string RequirementsText(const TuneOptions &options)
{
    std::string text;
    for (const Requirement &requirement : options.ranking.requirements) {
        text += (text.empty() ? "" : ", ") + requirement.measure + Format(" >= %g", requirement.minimum);
    }
    if (options.keepFamilies) {
        text += std::string(text.empty() ? "" : ", ") + "no battery family worse than the start";
    }
    return text;
}

std::filesystem::path JournalPath(const TuneOptions &options)
{
    return WithSuffix(options.output, kJournalExtension);
}

// The base name names a file in an existing directory, and no output is a
// manifest or the start; checked before anything is read.
void CheckOutputs(const TuneOptions &options)
{
    if (options.output.filename().empty()) {
        throw ToolkitError("'" + options.output.string() + "': the output base name needs a file name");
    }
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
    for (const std::filesystem::path &output : TuneOutputPaths(options.output)) {
        for (const std::filesystem::path &input : inputs) {
            RefuseOutputOverInput(output, {input});
        }
    }
}

// Every requirement can be measured on the data, and the start is there to
// keep the battery families of.
void CheckRequirements(const TuneOptions &options, const TuneData &data)
{
    for (const Requirement &requirement : options.ranking.requirements) {
        const auto measure = std::find_if(Measures().begin(), Measures().end(),
                                          [&requirement](const Measure &one) { return one.name == requirement.measure; });
        if (measure->fromManifests ? data.training.empty() : data.battery.empty()) {
            throw ToolkitError("--require " + requirement.measure + ": nothing to measure it on (" +
                               (measure->fromManifests ? "no training manifest" : "no battery family") + ")");
        }
    }
    if (options.keepFamilies && (!options.start || data.battery.empty())) {
        throw ToolkitError("keeping the battery families needs --start and battery families");
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

// Scores the indices into `points` on the validation manifests; false when
// stopped first.
bool Validate(CandidateScorer &scorer, std::vector<Evaluated> &points, const std::vector<std::size_t> &indices)
{
    std::vector<ScoreRequest> requests;
    requests.reserve(indices.size());
    for (const std::size_t index : indices) {
        requests.push_back({points[index].image, points[index].candidate.settings, ScoreSet::Validation});
    }
    return scorer.Score(requests, [&points, &indices](std::size_t i, const TuneScores &scores) {
        points[indices[i]].scores.validation = scores.validation;
    });
}

// The start, scored on the training set and, when there is one, on the
// validation set.
std::optional<Evaluated> ScoreStart(const TuneOptions &options, const TuneData &data, CandidateScorer &scorer)
{
    if (!options.start) {
        return std::nullopt;
    }
    Evaluated start;
    start.candidate.settings = options.search.space.settings.front();
    start.image = ReadConstantsFile(*options.start);
    start.candidate.raw = start.image;
    std::vector<ScoreRequest> requests{{start.image, start.candidate.settings, ScoreSet::Training}};
    if (!data.validation.empty()) {
        requests.push_back({start.image, start.candidate.settings, ScoreSet::Validation});
    }
    const bool scored = scorer.Score(requests, [&start](std::size_t i, const TuneScores &scores) {
        if (i == 0) {
            start.scores.battery = scores.battery;
            start.scores.training = scores.training;
        } else {
            start.scores.validation = scores.validation;
        }
    });
    if (!scored) {
        throw ToolkitError("stopped before the start was scored");
    }
    return start;
}

// Scores a batch with `scorer`, each new point written to the journal as it
// arrives; candidates the journal kept are not scored again.
BatchScorer Scorer(CandidateScorer &scorer, Journal &journal, const TuneProgress &progress)
{
    return [&scorer, &journal, &progress](const Batch &batch, std::vector<std::optional<TuneScores>> &scores) {
        std::vector<std::size_t> unknown;
        std::vector<ScoreRequest> requests;
        for (std::size_t i = 0; i < batch.candidates.size(); ++i) {
            if (const TuneScores *kept = journal.Kept().Find(batch.candidates[i].Key())) {
                scores[i] = *kept;
            } else {
                unknown.push_back(i);
                requests.push_back({batch.images[i], batch.candidates[i].settings, ScoreSet::Training});
            }
        }
        std::size_t arrived = batch.candidates.size() - unknown.size();
        return scorer.Score(requests, [&](std::size_t u, const TuneScores &result) {
            journal.Record(batch.candidates[unknown[u]], result);
            scores[unknown[u]] = result;
            ++arrived;
            progress(batch.phase, batch.evaluated + arrived, batch.candidates.size() - arrived + batch.expectedLater);
        });
    };
}

std::unique_ptr<CandidateScorer> MakeScorer(const TuneOptions &options, const TuneData &data, const StopRequest &stop)
{
    if (!options.scorer) {
        return std::make_unique<LocalScorer>(data, options.workers, stop);
    }
    return std::make_unique<OutsideScorer>(
        *options.scorer, Shards(data, options.search.space.rate, options.battery.seeds, options.training, options.validation),
        stop);
}

KeptScores Resumed(const TuneOptions &options, std::uint64_t fingerprint)
{
    if (!options.resume) {
        return {};
    }
    const std::filesystem::path journal = JournalPath(options);
    std::error_code error;
    if (!std::filesystem::exists(journal, error)) {
        throw ToolkitError(journal.string() + ": no points to resume from (run once without --resume)");
    }
    return ReadJournal(journal, fingerprint);
}

// The search, run to its end or its stop; a failure (a worker killed, the
// journal not written) says where the points scored are kept.
SearchLog SearchKept(const TuneOptions &options, const Ranking &ranking, CandidateScorer &scorer, Journal &journal,
                     const TuneProgress &progress)
{
    try {
        return Search(options.search, ranking, Scorer(scorer, journal, progress));
    } catch (const ToolkitError &error) {
        const std::size_t kept = journal.Kept().Size() + journal.Recorded();
        if (kept == 0) {
            throw;
        }
        throw ToolkitError(std::string(error.what()) +
                           Format("; the %zu points scored are kept in %s (--resume goes on from them)", kept,
                                  JournalPath(options).string().c_str()));
    }
}

std::size_t CountResumed(const SearchLog &log, const KeptScores &kept)
{
    std::size_t count = 0;
    for (const Evaluated &point : log.evaluated) {
        count += kept.Find(point.candidate.Key()) != nullptr ? 1u : 0u;
    }
    return count;
}

// The chosen point: the row asked for, or the best by the ranking. A row past
// the front is known only now: the front and the journal are written and
// the run ends with an error.
void Choose(const TuneOptions &options, TuneResult &result)
{
    if (options.pickRow) {
        if (*options.pickRow > result.front.size()) {
            result.chosen = SIZE_MAX;
            WriteFileAtomically(WithSuffix(options.output, ".csv"),
                                [&result](std::ostream &stream) { stream << FrontCsv(result); });
            CommitRunOutputs();
            throw ToolkitError(Format("the Pareto set has %zu rows; row %zu was asked for (wrote %s.csv and %s: "
                                      "--resume with another --pick chooses without scoring again)",
                                      result.front.size(), *options.pickRow, options.output.string().c_str(),
                                      JournalPath(options).string().c_str()));
        }
        result.chosen = result.front[*options.pickRow - 1];
        result.feasible = result.ranking.Feasible(result.log.evaluated[result.chosen].scores);
        result.pick = Format("row %zu of the Pareto set", *options.pickRow);
        return;
    }
    result.chosen = *result.log.Best(result.ranking);
    result.feasible = result.ranking.Feasible(result.log.evaluated[result.chosen].scores);
    const std::string requirements = RequirementsText(options);
    result.pick = PickText(options.ranking.rule);
    if (!requirements.empty()) {
        result.pick += result.feasible ? " among the points with " + requirements
                                       : "; no point has " + requirements + ", so the best of the points without it";
    }
}

}  // namespace

TuneResult RunTune(const TuneOptions &options, const StopRequest &stop, const TuneProgress &progress)
{
    const OutputPlan plan;
    CheckOutputs(options);
    const auto begin = std::chrono::steady_clock::now();
    TuneOptions configured = options;
    configured.battery.constants = RateOnlyImage(options.search.space.rate);
    const TuneData data = Load(configured);
    CheckRequirements(options, data);
    for (const std::filesystem::path &output : TuneOutputPaths(options.output)) {
        CheckOutputAhead(output);
    }

    TuneResult result;
    result.command = options.command;
    result.families = data.families;
    result.validated = !data.validation.empty();
    result.fingerprint = DataFingerprint(data);
    Journal journal(JournalPath(options), result.fingerprint, Resumed(options, result.fingerprint));
    const StopOnEndingSignals signalsStop;
    const std::unique_ptr<CandidateScorer> scorer = MakeScorer(options, data, stop);
    result.workers = scorer->Workers();
    result.start = ScoreStart(options, data, *scorer);
    result.ranking = options.ranking;
    if (options.keepFamilies) {
        result.ranking.keepFamilies = result.start->scores.battery;
    }
    result.log = SearchKept(options, result.ranking, *scorer, journal, progress);
    result.resumed = CountResumed(result.log, journal.Kept());
    journal.Checkpoint(result.log.evaluated);
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
    Choose(options, result);
    if (result.validated) {
        std::set<std::size_t> shown(result.front.begin(), result.front.end());
        shown.insert(result.chosen);
        result.validationStopped = !Validate(*scorer, result.log.evaluated, {shown.begin(), shown.end()});
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    double load[1] = {0.0};
    result.loadAverage = getloadavg(load, 1) == 1 ? load[0] : 0.0;
    WriteTuneOutputs(options.output, result);
    CommitRunOutputs();
    return result;
}

}  // namespace qzkit
