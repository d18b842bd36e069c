// SPDX-License-Identifier: Apache-2.0
#include "tune/TuneScores.h"

#include <algorithm>
#include <limits>
#include <sstream>
#include <type_traits>

#include "conformance/ConformanceReport.h"
#include "io/TextParsing.h"
#include "score/BeatMatch.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

// Weight of the battery's runs in the balanced rule: enough to order points
// that pass the same cases, too little to outweigh a case.
constexpr double kRunsWeight = 0.001;

std::optional<double> Percent(std::uint32_t part, std::uint32_t whole)
{
    if (whole == 0) {
        return std::nullopt;
    }
    return 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

const ManifestScore &SetOf(const TuneScores &scores, ScoreSet set)
{
    return set == ScoreSet::Training ? scores.training : scores.validation;
}

double Or0(std::optional<double> value)
{
    return value.value_or(0.0);
}

// The values the rule compares, most important first.
std::vector<double> RankKey(const TuneScores &scores, PickRule rule)
{
    const double cases = Or0(Percent(scores.battery.casesPassed, scores.battery.casesGraded));
    const double runs = Or0(MeasureValue(scores, "runs"));
    const double within = Or0(MeasureValue(scores, "within"));
    const double qi0 = Or0(MeasureValue(scores, "qi0_right"));
    switch (rule) {
    case PickRule::Battery:
        return {cases, within, qi0, runs};
    case PickRule::Manifests:
        return {within, qi0, cases, runs};
    default: {
        double sum = 0.0;
        const std::vector<std::string_view> objectives = ActiveObjectives(scores);
        for (const std::string_view name : objectives) {
            sum += name == "cases" ? cases : Or0(MeasureValue(scores, name));
        }
        const double mean = objectives.empty() ? 0.0 : sum / static_cast<double>(objectives.size());
        return {mean + kRunsWeight * runs};
    }
    }
}

// The objectives in percent (cases as a share of the graded ones).
std::vector<double> ObjectiveValues(const TuneScores &scores, const std::vector<std::string_view> &objectives)
{
    std::vector<double> values;
    values.reserve(objectives.size());
    for (const std::string_view name : objectives) {
        values.push_back(Or0(MeasureValue(scores, name)));
    }
    return values;
}

bool Dominates(const std::vector<double> &a, const std::vector<double> &b)
{
    bool better = false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] < b[i]) {
            return false;
        }
        better = better || a[i] > b[i];
    }
    return better;
}

template <typename Manifest, typename Visit>
void ForEachManifestCount(Manifest &score, const Visit &visit)
{
    for (auto *count : {&score.withReference, &score.answered, &score.agreeing, &score.within5, &score.qi0,
                        &score.qi0Right, &score.beatWindows}) {
        visit(*count);
    }
    for (auto *count : {&score.beats.truePositives, &score.beats.falseNegatives, &score.beats.falsePositives}) {
        visit(*count);
    }
}

// Calls `visit` on every count, in the order of CountsOf.
template <typename Scores, typename Visit>
void ForEachCount(Scores &scores, bool validation, const Visit &visit)
{
    auto &battery = scores.battery;
    for (auto *count : {&battery.casesPassed, &battery.casesGraded, &battery.runsPassed, &battery.runsGraded}) {
        visit(*count);
    }
    for (auto &count : battery.familyPassed) {
        visit(count);
    }
    for (auto &count : battery.familyGraded) {
        visit(count);
    }
    ForEachManifestCount(scores.training, visit);
    if (validation) {
        ForEachManifestCount(scores.validation, visit);
    }
}

bool PossibleManifest(const ManifestScore &score)
{
    return score.answered <= score.withReference && score.agreeing <= score.withReference &&
           score.within5 <= score.withReference && score.qi0Right <= score.qi0;
}

}  // namespace

std::vector<std::uint64_t> CountsOf(const TuneScores &scores, bool validation)
{
    std::vector<std::uint64_t> counts;
    ForEachCount(scores, validation, [&counts](const auto &count) { counts.push_back(count); });
    return counts;
}

std::string CountsText(const TuneScores &scores, bool validation)
{
    std::string text;
    for (const std::uint64_t count : CountsOf(scores, validation)) {
        if (!text.empty()) {
            text += ' ';
        }
        text += std::to_string(count);
    }
    return text;
}

std::optional<TuneScores> ParseCounts(std::string_view text, bool validation)
{
    std::istringstream counts{std::string(text)};
    TuneScores scores;
    bool valid = true;
    ForEachCount(scores, validation, [&counts, &valid](auto &count) {
        using Count = std::remove_reference_t<decltype(count)>;
        std::string word;
        std::int64_t value = 0;
        valid = valid && counts >> word && ParseInteger(word, value) && value >= 0 &&
                static_cast<std::uint64_t>(value) <= std::numeric_limits<Count>::max();
        count = valid ? static_cast<Count>(value) : Count{0};
    });
    std::string extra;
    if (!valid || counts >> extra) {
        return std::nullopt;
    }
    return scores;
}

bool Possible(const TuneScores &scores)
{
    const BatteryScore &battery = scores.battery;
    bool possible = battery.casesPassed <= battery.casesGraded && battery.runsPassed <= battery.runsGraded &&
                    PossibleManifest(scores.training) && PossibleManifest(scores.validation);
    for (std::size_t family = 0; family < kMaxTuneFamilies; ++family) {
        possible = possible && battery.familyPassed[family] <= battery.familyGraded[family];
    }
    return possible;
}

BatteryScore ScoreBattery(const std::vector<BatteryRun> &runs, const std::vector<std::string> &families)
{
    if (families.size() > kMaxTuneFamilies) {
        throw ToolkitError("at most " + std::to_string(kMaxTuneFamilies) + " battery families");
    }
    BatteryScore score;
    for (const BatteryRun &run : runs) {
        score.runsGraded += run.verdict != Verdict::Disclosed ? 1u : 0u;
        score.runsPassed += run.verdict == Verdict::Pass ? 1u : 0u;
    }
    for (const CaseSummary &summary : SummarizeCases(runs)) {
        if (summary.verdict == Verdict::Disclosed) {
            continue;
        }
        const auto family = static_cast<std::size_t>(
            std::find(families.begin(), families.end(), summary.testCase->family) - families.begin());
        const bool pass = summary.verdict == Verdict::Pass;
        ++score.casesGraded;
        score.casesPassed += pass ? 1u : 0u;
        ++score.familyGraded.at(family);
        score.familyPassed.at(family) = static_cast<std::uint16_t>(score.familyPassed.at(family) + (pass ? 1u : 0u));
    }
    return score;
}

ManifestScore ScoreManifests(const EvaluationSummary &summary)
{
    const auto count = [](std::size_t value) { return static_cast<std::uint32_t>(value); };
    ManifestScore score;
    score.withReference = count(summary.withReference);
    score.answered = count(summary.answered);
    score.agreeing = count(summary.agreement.withinTolerance);
    score.within5 = count(summary.withinBpm);
    const QiRow qi0 = summary.UpTo(0);
    score.qi0 = count(qi0.windows);
    score.qi0Right = count(qi0.withinBpm);
    score.beatWindows = count(summary.beatScoredWindows);
    score.beats = summary.beats;
    return score;
}

const std::vector<Measure> &Measures()
{
    static const std::vector<Measure> measures{
        {"cases", "battery cases passed", true, false, true},
        {"runs", "battery runs passed, %", false, false, false},
        {"within", "windows within " + RateToleranceText() + ", %", true, true, false},
        {"within5", "windows within " + ToleranceBpmText() + ", %", false, true, false},
        {"qi0_right", "QI 0 answers within " + ToleranceBpmText() + ", %", true, true, false},
        {"coverage", "windows answered (" + AnswerQiText() + "), %", false, true, false},
        {"se", "beat sensitivity, %", true, true, false},
        {"ppv", "beat positive predictivity, %", true, true, false},
    };
    return measures;
}

std::optional<double> MeasureValue(const TuneScores &scores, std::string_view name, ScoreSet set)
{
    const ManifestScore &manifest = SetOf(scores, set);
    const auto beats = [&manifest](std::size_t part, std::size_t missed) {
        return manifest.beatWindows == 0 ? std::nullopt
                                         : Percent(static_cast<std::uint32_t>(part),
                                                   static_cast<std::uint32_t>(part + missed));
    };
    if (name == "cases") {
        return scores.battery.casesGraded == 0 ? std::nullopt
                                               : std::optional<double>(scores.battery.casesPassed);
    }
    if (name == "runs") {
        return Percent(scores.battery.runsPassed, scores.battery.runsGraded);
    }
    if (name == "within") {
        return Percent(manifest.agreeing, manifest.withReference);
    }
    if (name == "within5") {
        return Percent(manifest.within5, manifest.withReference);
    }
    if (name == "qi0_right") {
        return Percent(manifest.qi0Right, manifest.qi0);
    }
    if (name == "coverage") {
        return Percent(manifest.answered, manifest.withReference);
    }
    if (name == "se") {
        return beats(manifest.beats.truePositives, manifest.beats.falseNegatives);
    }
    return beats(manifest.beats.truePositives, manifest.beats.falsePositives);
}

Requirement ParseRequirement(const std::string &text)
{
    const std::size_t at = text.find(">=");
    Requirement requirement;
    if (at != std::string::npos) {
        requirement.measure = text.substr(0, at);
    }
    const bool known = std::any_of(Measures().begin(), Measures().end(),
                                   [&requirement](const Measure &measure) { return measure.name == requirement.measure; });
    if (at == std::string::npos || !known || !ParseNumber(text.substr(at + 2), requirement.minimum)) {
        std::string names;
        for (const Measure &measure : Measures()) {
            names += (names.empty() ? "" : ", ") + std::string(measure.name);
        }
        throw ToolkitError("requirement '" + text + "' is not NAME>=VALUE with NAME one of " + names);
    }
    return requirement;
}

bool Ranking::Feasible(const TuneScores &scores) const
{
    for (const Requirement &requirement : requirements) {
        const std::optional<double> value = MeasureValue(scores, requirement.measure);
        if (!value || *value < requirement.minimum) {
            return false;
        }
    }
    if (keepFamilies) {
        for (std::size_t family = 0; family < kMaxTuneFamilies; ++family) {
            if (scores.battery.familyPassed[family] < keepFamilies->familyPassed[family]) {
                return false;
            }
        }
    }
    return true;
}

bool Ranking::Better(const TuneScores &a, const TuneScores &b) const
{
    const bool feasibleA = Feasible(a);
    if (feasibleA != Feasible(b)) {
        return feasibleA;
    }
    return RankKey(a, rule) > RankKey(b, rule);
}

std::vector<std::string_view> ActiveObjectives(const TuneScores &scores)
{
    std::vector<std::string_view> objectives;
    for (const Measure &measure : Measures()) {
        if (measure.objective && MeasureValue(scores, measure.name)) {
            objectives.push_back(measure.name);
        }
    }
    return objectives;
}

std::vector<std::size_t> ParetoSet(const std::vector<TuneScores> &scores, const Ranking &ranking)
{
    if (scores.empty()) {
        return {};
    }
    const std::vector<std::string_view> objectives = ActiveObjectives(scores.front());
    const bool anyFeasible = std::any_of(scores.begin(), scores.end(),
                                         [&ranking](const TuneScores &one) { return ranking.Feasible(one); });
    std::vector<std::size_t> pool;
    std::vector<std::vector<double>> values;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        if (!anyFeasible || ranking.Feasible(scores[i])) {
            pool.push_back(i);
            values.push_back(ObjectiveValues(scores[i], objectives));
        }
    }
    // Of points with the same objective values, the best ranked (the first of equals) stands for them.
    const auto ahead = [&](std::size_t j, std::size_t i) {
        const TuneScores &a = scores[pool[j]];
        const TuneScores &b = scores[pool[i]];
        return ranking.Better(a, b) || (j < i && !ranking.Better(b, a));
    };
    std::vector<std::size_t> front;
    for (std::size_t i = 0; i < pool.size(); ++i) {
        bool kept = true;
        for (std::size_t j = 0; j < pool.size() && kept; ++j) {
            kept = !Dominates(values[j], values[i]) && !(values[j] == values[i] && ahead(j, i));
        }
        if (kept) {
            front.push_back(pool[i]);
        }
    }
    std::stable_sort(front.begin(), front.end(),
                     [&](std::size_t a, std::size_t b) { return ranking.Better(scores[a], scores[b]); });
    return front;
}

}  // namespace qzkit
