#include "evaluate/ManifestEvaluation.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "io/AtomicFile.h"
#include "io/EcgFile.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr double kRateTolerance = 0.01;

std::optional<ReferenceBeats> ReadReference(const EvaluateOptions &options)
{
    if (!options.annotations.empty() && !options.beatTimes.empty()) {
        throw ToolkitError("give reference annotations or beat times, not both");
    }
    if (!options.annotations.empty()) {
        return ReadReferenceAnnotations(options.annotations, options.annotationRate);
    }
    if (!options.beatTimes.empty()) {
        return ReadReferenceBeatTimes(options.beatTimes);
    }
    return std::nullopt;
}

void CheckRate(const ManifestEntry &entry, double constantsRate)
{
    if (!(std::abs(entry.rate - constantsRate) <= kRateTolerance * entry.rate)) {
        char message[256];
        std::snprintf(message, sizeof message, "%s is sampled at %g Hz but the constants are for %g Hz",
                      entry.file.c_str(), entry.rate, constantsRate);
        throw ToolkitError(message);
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

std::vector<std::uint16_t> ReadWindow(const std::filesystem::path &path, const ManifestEntry &entry)
{
    std::vector<std::uint16_t> samples = ReadEcgFile(path);
    if (samples.size() != entry.samples) {
        throw ToolkitError(path.string() + ": " + std::to_string(samples.size()) +
                           " samples where the manifest says " + std::to_string(entry.samples));
    }
    return samples;
}

std::size_t CountCoveredBeats(const std::vector<WindowResult> &results, std::size_t beatCount)
{
    std::vector<bool> covered(beatCount, false);
    for (const WindowResult &result : results) {
        const std::size_t first = result.reference.firstBeat;
        std::fill_n(covered.begin() + static_cast<std::ptrdiff_t>(first), result.reference.beats, true);
    }
    return static_cast<std::size_t>(std::count(covered.begin(), covered.end(), true));
}

}  // namespace

EvaluateReport Evaluate(const EvaluateOptions &options)
{
    for (const std::filesystem::path &output : {options.output, options.summary}) {
        RefuseOutputOverInput(output, {options.manifest, options.constants, options.annotations, options.beatTimes});
    }
    const std::vector<ManifestEntry> entries = ReadManifest(options.manifest);
    if (entries.empty()) {
        throw ToolkitError(options.manifest.string() + ": no windows");
    }
    const ConstantsImage constants = ReadConstantsFile(options.constants);
    const std::optional<ReferenceBeats> reference = ReadReference(options);
    const std::filesystem::path directory = options.manifest.parent_path();

    EvaluateReport report;
    report.constantsRate = ConstantsRate(constants);
    std::vector<std::vector<std::uint16_t>> windows;
    std::vector<std::filesystem::path> windowPaths;
    for (const ManifestEntry &entry : entries) {
        CheckRate(entry, report.constantsRate);
        windowPaths.push_back(directory / entry.file);
        windows.push_back(ReadWindow(windowPaths.back(), entry));
        const WindowReference windowReference =
            reference ? ReferenceForWindow(*reference, entry.startSample, entry.samples, entry.rate)
                      : ManifestReference(entry, options.manifest);
        report.results.push_back({entry, windowReference, {}});
    }

    const InProcessEstimator estimator(constants, options.settings);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (std::size_t i = 0; i < windows.size(); ++i) {
        try {
            report.results[i].estimate = estimator.Run(windows[i]);
        } catch (const ToolkitError &error) {
            throw ToolkitError(windowPaths[i].string() + ": " + error.what());
        }
    }
    report.cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    report.windowsPerSecond = report.seconds > 0.0 ? static_cast<double>(windows.size()) / report.seconds : 0.0;
    report.summary = Summarize(report.results);
    if (reference) {
        report.referenceBeats = reference->ticks.size();
        report.beatsInWindows = CountCoveredBeats(report.results, reference->ticks.size());
    }

    if (!options.output.empty()) {
        WritePerWindowCsv(options.output, report.results);
    }
    if (!options.summary.empty()) {
        const std::string text = EvaluateReportText(report);
        WriteFileAtomically(options.summary, [&text](std::ostream &stream) { stream << text; });
    }
    return report;
}

std::string EvaluateReportText(const EvaluateReport &report)
{
    std::string text;
    char line[160];
    if (report.referenceBeats) {
        std::snprintf(line, sizeof line, "reference beats: %zu, inside the windows: %zu\n", *report.referenceBeats,
                      report.beatsInWindows);
        text += line;
    }
    text += SummaryText(report.summary);
    std::snprintf(line, sizeof line, "speed: %.0f windows per second (%zu windows in %.3f s, processor time %.3f s)\n",
                  report.windowsPerSecond, report.results.size(), report.seconds, report.cpuSeconds);
    text += line;
    return text;
}

}  // namespace qzkit
