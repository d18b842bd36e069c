// SPDX-License-Identifier: Apache-2.0
#include "io/ReferenceBeats.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <system_error>

#include "io/CsvTable.h"
#include "ToolkitError.h"
#include "io/wfdb/MitAnnotations.h"
#include "io/wfdb/WfdbHeader.h"

namespace qzkit {
namespace {

double AnnotationClock(const std::filesystem::path &path, const std::vector<Annotation> &annotations, double rate)
{
    if (rate > 0.0) {
        return rate;
    }
    const double noted = AnnotationTimeResolution(annotations);
    if (noted > 0.0) {
        return noted;
    }
    std::filesystem::path header = path;
    header.replace_extension(".hea");
    if (std::filesystem::exists(header)) {
        return ReadWfdbHeader(header).frequency;
    }
    throw ToolkitError(path.string() + ": sampling rate of the annotations unknown: no " + header.string() +
                       "; give --annotation-rate");
}

std::size_t BeatColumn(const CsvTable &table, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        const auto found = std::find(table.header.begin(), table.header.end(), name);
        if (found != table.header.end()) {
            return static_cast<std::size_t>(found - table.header.begin());
        }
    }
    if (table.header.at(0) == "0") {
        return 0;  // no header row: the first column holds the times
    }
    throw ToolkitError(table.source + ": no " + *names.begin() + " column");
}

// Sorts the beats and merges beats at the same time, which a hand-made list
// may repeat and which would otherwise count twice; says so on stderr.
void SortAndMerge(ReferenceBeats &beats)
{
    std::sort(beats.ticks.begin(), beats.ticks.end());
    const auto end = std::unique(beats.ticks.begin(), beats.ticks.end());
    const auto merged = static_cast<std::size_t>(beats.ticks.end() - end);
    beats.ticks.erase(end, beats.ticks.end());
    if (merged > 0) {
        std::fprintf(stderr, "warning: %s: %zu repeated beat time%s merged\n", beats.source.c_str(), merged,
                     merged == 1 ? "" : "s");
    }
}

// The beats of one column of a CSV, on a clock of `ticksPerSecond`.
ReferenceBeats ReadBeatColumn(const std::filesystem::path &path, std::initializer_list<const char *> names,
                              double ticksPerSecond)
{
    const CsvTable table = ReadCsvTable(path);
    if (table.rows.empty()) {
        throw ToolkitError(path.string() + ": no beat times");
    }
    const std::size_t column = BeatColumn(table, names);
    ReferenceBeats beats;
    beats.source = path.string();
    beats.ticksPerSecond = ticksPerSecond;
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        beats.ticks.push_back(table.Number(row, column));
    }
    SortAndMerge(beats);
    return beats;
}

}  // namespace

ReferenceBeats ReadReferenceAnnotations(const std::filesystem::path &path, double rate)
{
    const std::vector<Annotation> annotations = ReadMitAnnotations(path);
    ReferenceBeats beats;
    beats.source = path.string();
    beats.ticksPerSecond = AnnotationClock(path, annotations, rate);
    for (const Annotation &annotation : annotations) {
        if (IsBeatCode(annotation.code)) {
            beats.ticks.push_back(static_cast<double>(annotation.sample));
        }
    }
    if (beats.ticks.empty()) {
        throw ToolkitError(path.string() + ": no beat annotations");
    }
    SortAndMerge(beats);
    return beats;
}

std::filesystem::path AnnotationFile(const std::filesystem::path &given, const std::filesystem::path &record)
{
    const std::string text = given.string();
    const bool annotator = !text.empty() && !given.has_parent_path() && text.find('.') == std::string::npos;
    std::error_code error;
    if (!annotator || std::filesystem::exists(given, error)) {
        return given;
    }
    if (record.empty()) {
        throw ToolkitError("annotator " + text + ": no record to find it beside; give the annotation file's path");
    }
    std::filesystem::path file = record;
    file += "." + text;
    return file;
}

ReferenceBeats ReadReferenceBeatTimes(const std::filesystem::path &path)
{
    return ReadBeatColumn(path, {"time_s", "time"}, 1.0);
}

ReferenceBeats ReadReferenceBeatSamples(const std::filesystem::path &path, double rate)
{
    return ReadBeatColumn(path, {"sample"}, rate);
}

ContentWriter ReferenceBeatsWriter(const ReferenceBeats &beats, double rate)
{
    return [&beats, rate](std::ostream &stream) {
        stream << "sample,time_s\n";
        for (const double tick : beats.ticks) {
            char line[64];
            std::snprintf(line, sizeof line, "%.17g,%.6f\n", beats.ToSamples(tick, rate), tick / beats.ticksPerSecond);
            stream << line;
        }
    };
}

WindowReference ReferenceForWindow(const ReferenceBeats &beats, std::size_t start, std::size_t length, double rate)
{
    const double from = static_cast<double>(start);
    const double to = static_cast<double>(start + length);
    // Positions grow with the ticks, so the beats inside form one run.
    const auto positionBelow = [&beats, rate](double tick, double edge) { return beats.ToSamples(tick, rate) < edge; };
    const auto first = std::lower_bound(beats.ticks.begin(), beats.ticks.end(), from, positionBelow);
    const auto last = std::lower_bound(first, beats.ticks.end(), to, positionBelow);
    WindowReference reference;
    reference.firstBeat = static_cast<std::size_t>(first - beats.ticks.begin());
    reference.beats = static_cast<std::size_t>(last - first);
    if (reference.beats >= 2) {
        const double span = (*(last - 1) - *first) / beats.ticksPerSecond;
        if (span > 0.0) {
            reference.bpm = 60.0 * static_cast<double>(reference.beats - 1) / span;
        }
    }
    return reference;
}

std::vector<double> WindowBeatTimes(const ReferenceBeats &beats, const WindowReference &reference)
{
    std::vector<double> times;
    times.reserve(reference.beats);
    for (std::size_t i = reference.firstBeat; i < reference.firstBeat + reference.beats; ++i) {
        times.push_back(beats.ticks[i] / beats.ticksPerSecond);
    }
    return times;
}

}  // namespace qzkit
