// SPDX-License-Identifier: Apache-2.0
// What `constants tune` measures for a candidate (the battery's graded cases
// and the manifests' rate and beat scores), the measures by name, the
// requirements a chosen set must meet, the rule that picks one, and the
// Pareto set.
#ifndef QZKIT_TUNE_SCORES_H
#define QZKIT_TUNE_SCORES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conformance/Battery.h"
#include "evaluate/ManifestEvaluation.h"

namespace qzkit {

inline constexpr std::size_t kMaxTuneFamilies = 16;

struct BatteryScore {
    std::uint32_t casesPassed = 0;
    std::uint32_t casesGraded = 0;
    std::uint32_t runsPassed = 0;
    std::uint32_t runsGraded = 0;
    std::array<std::uint16_t, kMaxTuneFamilies> familyPassed{};  // in the order of the families run
    std::array<std::uint16_t, kMaxTuneFamilies> familyGraded{};
};

struct ManifestScore {
    std::uint32_t withReference = 0;
    std::uint32_t answered = 0;   // QI 0-2
    std::uint32_t agreeing = 0;   // answers within the larger of 5 BPM and 10 %
    std::uint32_t within5 = 0;    // answers within 5 BPM
    std::uint32_t qi0 = 0;
    std::uint32_t qi0Right = 0;   // QI 0 answers within 5 BPM
    std::uint32_t beatWindows = 0;  // windows scored beat by beat
    BeatCounts beats;
};

// Plain data, so that a worker process can send it as bytes.
struct TuneScores {
    BatteryScore battery;
    ManifestScore training;
    ManifestScore validation;
};

// Every count of `scores` in a fixed order: the battery's, the training
// manifests' and, with `validation`, the validation manifests'. Counts add:
// the scores of parts of the data sum to the scores of the whole.
std::vector<std::uint64_t> CountsOf(const TuneScores &scores, bool validation);

// The counts as text, separated by spaces: how the journal keeps scores and
// an outside scorer sends them.
std::string CountsText(const TuneScores &scores, bool validation);

// The scores of a CountsText; none when a word is not a count in range or
// there are too few or too many.
std::optional<TuneScores> ParseCounts(std::string_view text, bool validation);

// No measure above 100 %: nothing passes or agrees more often than it was
// graded or answered.
bool Possible(const TuneScores &scores);

BatteryScore ScoreBattery(const std::vector<BatteryRun> &runs, const std::vector<std::string> &families);
ManifestScore ScoreManifests(const EvaluationSummary &summary);

enum class ScoreSet { Training, Validation };

// A measure by name, in percent (or a count of cases); none where nothing
// was measured (no battery, no manifest, no QI 0 answer, no beats).
struct Measure {
    std::string_view name;  // CSV column and requirement name
    std::string title;
    bool objective;  // one of the objectives of the Pareto set
    bool fromManifests;
    bool count;  // a count of cases, not a percent
};
const std::vector<Measure> &Measures();
std::optional<double> MeasureValue(const TuneScores &scores, std::string_view name,
                                   ScoreSet set = ScoreSet::Training);

struct Requirement {
    std::string measure;
    double minimum = 0.0;
};

// "NAME>=VALUE", NAME one of the measures. ToolkitError otherwise.
Requirement ParseRequirement(const std::string &text);

enum class PickRule { Balanced, Battery, Manifests };

// How points compare: requirements first, then the pick rule.
struct Ranking {
    PickRule rule = PickRule::Balanced;
    std::vector<Requirement> requirements;
    std::optional<BatteryScore> keepFamilies;  // no family may pass fewer cases than here

    // Every requirement met (a measure that was not measured fails it).
    bool Feasible(const TuneScores &scores) const;
    // True when `a` ranks above `b`.
    bool Better(const TuneScores &a, const TuneScores &b) const;
};

// The measures that are objectives and were measured for `scores`.
std::vector<std::string_view> ActiveObjectives(const TuneScores &scores);

// Indices of the points no other point beats on every objective while
// being at least as good on each (among the feasible points when there are
// any), best ranked first; one point per distinct set of objective values,
// the best ranked of them.
std::vector<std::size_t> ParetoSet(const std::vector<TuneScores> &scores, const Ranking &ranking);

}  // namespace qzkit

#endif
