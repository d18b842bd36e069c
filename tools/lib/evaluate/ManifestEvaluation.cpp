// SPDX-License-Identifier: Apache-2.0
#include "evaluate/ManifestEvaluation.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

#include "io/BaseName.h"
#include "io/EcgFile.h"
#include "io/TextFormat.h"
#include "run/LibraryRun.h"
#include "run/RunSettingsText.h"
#include "run/StageDelays.h"
#include "run/WorkerProcesses.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr double kRateTolerance = 0.01;

// The reference beats the manifest names beside it; none when it names none.
std::optional<ReferenceBeats> ManifestBeats(const std::vector<ManifestEntry> &entries,
                                           const std::filesystem::path &manifest)
{
    const bool named = std::any_of(entries.begin(), entries.end(),
                                   [](const ManifestEntry &entry) { return !entry.beatsFile.empty(); });
    if (!named) {
        return std::nullopt;
    }
    const ManifestEntry &first = entries.front();
    for (const ManifestEntry &entry : entries) {
        if (entry.beatsFile != first.beatsFile || entry.rate != first.rate) {
            throw ToolkitError(manifest.string() +
                               ": its windows name different reference beats or rates; give one manifest per "
                               "recording");
        }
    }
    return ReadReferenceBeatSamples(manifest.parent_path() / first.beatsFile, first.rate);
}

std::optional<ReferenceBeats> ReadReference(const EvaluateOptions &options, std::size_t record,
                                            const std::vector<ManifestEntry> &entries)
{
    if (!options.annotations.empty() && !options.beatTimes.empty()) {
        throw ToolkitError("give reference annotations or beat times, not both");
    }
    const std::vector<std::filesystem::path> &files =
        options.annotations.empty() ? options.beatTimes : options.annotations;
    if (files.empty()) {
        return ManifestBeats(entries, options.manifests[record]);
    }
    if (files.size() != options.manifests.size()) {
        throw ToolkitError("give one reference file per manifest (" + std::to_string(options.manifests.size()) +
                           " manifests, " + std::to_string(files.size()) + " reference files)");
    }
    return options.annotations.empty() ? ReadReferenceBeatTimes(files[record])
                                       : ReadReferenceAnnotations(AnnotationFile(files[record], {}),
                                                                  options.annotationRate);
}

void CheckRate(const ManifestEntry &entry, double constantsRate, const std::filesystem::path &constants)
{
    if (!(std::abs(entry.rate - constantsRate) <= kRateTolerance * entry.rate)) {
        throw ToolkitError(entry.file + Format(" is sampled at %g Hz but the constants ", entry.rate) +
                           constants.string() + Format(" are for %g Hz", constantsRate));
    }
}

WindowReference ManifestReference(const ManifestEntry &entry, const std::filesystem::path &manifest)
{
    if (!entry.referenceBeats) {
        throw ToolkitError(manifest.string() + ": no reference for " + entry.file +
                           "; give --annotations or --beats");
    }
    WindowReference reference;
    reference.beats = *entry.referenceBeats;
    reference.bpm = entry.referenceBpm;
    return reference;
}

// A window as convert writes it: as many 10-bit samples as the manifest says.
std::vector<std::uint16_t> ReadWindow(const std::filesystem::path &path, const ManifestEntry &entry)
{
    std::vector<std::uint16_t> samples = ReadEcgFile(path);
    if (samples.size() != entry.samples) {
        throw ToolkitError(path.string() + ": " + std::to_string(samples.size()) +
                           " samples where the manifest says " + std::to_string(entry.samples));
    }
    CheckTenBitWindow(samples, path.string());
    return samples;
}

RecordInput ReadRecord(const EvaluateOptions &options, std::size_t record, bool withSamples)
{
    const std::filesystem::path &manifest = options.manifests[record];
    RecordInput input;
    input.entries = ReadManifest(manifest);
    if (input.entries.empty()) {
        throw ToolkitError(manifest.string() + ": no windows");
    }
    input.name = manifest.stem().stem().string();
    input.beats = ReadReference(options, record, input.entries);
    input.reference = input.beats ? input.beats->source : "reference columns of " + manifest.string();
    for (const ManifestEntry &entry : input.entries) {
        input.paths.push_back(manifest.parent_path() / entry.file);
        if (withSamples) {
            input.windows.push_back(ReadWindow(input.paths.back(), entry));
        }
        input.references.push_back(input.beats ? ReferenceForWindow(*input.beats, entry.startSample, entry.samples,
                                                                    entry.rate)
                                               : ManifestReference(entry, manifest));
    }
    return input;
}

std::size_t CountCoveredBeats(const RecordInput &record)
{
    std::vector<bool> covered(record.beats->ticks.size(), false);
    for (const WindowReference &reference : record.references) {
        std::fill_n(covered.begin() + static_cast<std::ptrdiff_t>(reference.firstBeat), reference.beats, true);
    }
    return static_cast<std::size_t>(std::count(covered.begin(), covered.end(), true));
}

std::size_t WindowCount(const std::vector<RecordInput> &records)
{
    std::size_t windows = 0;
    for (const RecordInput &record : records) {
        windows += record.entries.size();
    }
    return windows;
}

}  // namespace

void CheckTenBitWindow(std::span<const std::uint16_t> samples, const std::string &what)
{
    const auto above = std::find_if(samples.begin(), samples.end(), [](std::uint16_t sample) { return sample > 1023u; });
    if (above != samples.end()) {
        throw ToolkitError(what + ": sample " + std::to_string(above - samples.begin()) + " is " +
                           std::to_string(*above) + ", above the 10-bit range");
    }
}

WindowOutcome RunWindow(const ConstantsImage &constants, const qz::run_settings_struct &settings,
                        const RecordInput &record, std::size_t window)
{
    WindowOutcome outcome;
    try {
        outcome.estimate = RunLibrary(constants, settings, record.windows[window]).result;
    } catch (const ToolkitError &error) {
        throw ToolkitError(record.paths[window].string() + ": " + error.what());
    }
    if (record.beats) {
        const ManifestEntry &entry = record.entries[window];
        const BeatWindow span{entry.startSample, entry.samples, entry.rate,
                              PeakDelay(settings.StageMask, settings.DerivativeOrder)};
        outcome.beats =
            ScoreWindowBeats(outcome.estimate, span, WindowBeatTimes(*record.beats, record.references[window]));
    }
    return outcome;
}

EvaluateReport StartReport(const std::vector<RecordInput> &records, const std::vector<Combination> &combinations)
{
    EvaluateReport report;
    for (const RecordInput &record : records) {
        report.records.push_back(record.name);
        report.references.push_back(record.reference);
        report.windows += record.entries.size();
        if (record.beats) {
            report.referenceBeats += record.beats->ticks.size();
            report.beatsInWindows += CountCoveredBeats(record);
        }
    }
    for (const Combination &combination : combinations) {
        report.combinations.push_back({combination, {}, {}, {}, 0.0});
    }
    return report;
}

void FinishCombination(CombinationResult &run, const std::vector<RecordInput> &records,
                       std::span<const WindowOutcome> outcomes)
{
    run.results.reserve(outcomes.size());
    std::size_t next = 0;
    for (std::size_t r = 0; r < records.size(); ++r) {
        const RecordInput &record = records[r];
        for (std::size_t i = 0; i < record.entries.size(); ++i, ++next) {
            run.results.push_back(
                {record.entries[i], r, record.references[i], outcomes[next].estimate, outcomes[next].beats});
        }
    }
    run.summary = Summarize(run.results);
    // The results are in record order: each record's are one stretch of them.
    std::span<const WindowResult> rest(run.results);
    for (const RecordInput &record : records) {
        run.byRecord.push_back(Summarize(rest.first(record.entries.size())));
        rest = rest.subspan(record.entries.size());
    }
}

void RunCombination(CombinationResult &run, const ConstantsImage &constants, const std::vector<RecordInput> &records)
{
    const std::clock_t cpuStart = std::clock();
    std::vector<WindowOutcome> outcomes;
    outcomes.reserve(WindowCount(records));
    for (const RecordInput &record : records) {
        for (std::size_t i = 0; i < record.entries.size(); ++i) {
            outcomes.push_back(RunWindow(constants, run.combination.settings, record, i));
        }
    }
    FinishCombination(run, records, outcomes);
    run.cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
}

void RunCombinations(EvaluateReport &report, const std::vector<ConstantsImage> &images,
                     const std::vector<RecordInput> &records, std::size_t jobs)
{
    // Job j runs window j % windows of combination j / windows.
    std::vector<std::pair<std::size_t, std::size_t>> windows;  // (record, window in it)
    for (std::size_t r = 0; r < records.size(); ++r) {
        for (std::size_t i = 0; i < records[r].entries.size(); ++i) {
            windows.emplace_back(r, i);
        }
    }
    const std::size_t combinations = report.combinations.size();
    std::vector<WindowOutcome> outcomes(windows.size() * combinations);
    const double cpuStart = ProcessorSeconds();
    const auto start = std::chrono::steady_clock::now();
    RunInWorkers<WindowOutcome>(
        outcomes.size(), jobs,
        [&](std::size_t job) {
            const auto [record, window] = windows[job % windows.size()];
            const std::size_t c = job / windows.size();
            return RunWindow(images[c], report.combinations[c].combination.settings, records[record], window);
        },
        [&outcomes](std::size_t job, const WindowOutcome &outcome) { outcomes[job] = outcome; },
        [] { return false; });
    const std::span<const WindowOutcome> all(outcomes);
    for (std::size_t c = 0; c < combinations; ++c) {
        FinishCombination(report.combinations[c], records, all.subspan(c * windows.size(), windows.size()));
    }
    SetSpeed(report, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
             ProcessorSeconds() - cpuStart, jobs);
}

void SetSpeed(EvaluateReport &report, double seconds, double cpuSeconds, std::size_t jobs)
{
    report.jobs = jobs;
    report.seconds = seconds;
    report.cpuSeconds = cpuSeconds;
    const double runs = static_cast<double>(report.windows * report.combinations.size());
    report.windowsPerSecond = cpuSeconds > 0.0 ? runs / cpuSeconds : 0.0;
    report.windowsPerWallSecond = seconds > 0.0 ? runs / seconds : 0.0;
}

namespace {

// The mean over the records that have the score; none when no record has.
template <typename Measure>
std::optional<double> MeanOverScoredRecords(const std::vector<EvaluationSummary> &records, Measure measure)
{
    double sum = 0.0;
    std::size_t scored = 0;
    for (const EvaluationSummary &record : records) {
        if (const std::optional<double> score = measure(record.beats)) {
            sum += *score;
            ++scored;
        }
    }
    if (scored == 0) {
        return std::nullopt;
    }
    return sum / static_cast<double>(scored);
}

}  // namespace

std::string Combination::ConstantsName() const
{
    return BaseNameFor(constants, kConstantsFileExtension).filename().string();
}

std::string Combination::SettingsText() const
{
    return qzkit::SettingsText(settings);
}

std::string Combination::Label() const
{
    return ConstantsName() + ' ' + SettingsText();
}

std::optional<double> CombinationResult::AverageSensitivity() const
{
    return MeanOverScoredRecords(byRecord, [](const BeatCounts &counts) { return counts.Sensitivity(); });
}

std::optional<double> CombinationResult::AveragePositivePredictivity() const
{
    return MeanOverScoredRecords(byRecord, [](const BeatCounts &counts) { return counts.PositivePredictivity(); });
}

std::vector<RecordInput> ReadRecords(const EvaluateOptions &options, bool withSamples)
{
    std::vector<RecordInput> records;
    for (std::size_t r = 0; r < options.manifests.size(); ++r) {
        records.push_back(ReadRecord(options, r, withSamples));
    }
    return records;
}

void CheckRates(const std::vector<RecordInput> &records, const ConstantsImage &constants,
                const std::filesystem::path &name)
{
    for (const RecordInput &record : records) {
        for (const ManifestEntry &entry : record.entries) {
            CheckRate(entry, ConstantsRate(constants), name);
        }
    }
}

}  // namespace qzkit
