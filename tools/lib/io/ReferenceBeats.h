// SPDX-License-Identifier: Apache-2.0
// Reference beat times from an annotation file or a CSV of beat times, and
// the window rule that turns them into a window's reference rate.
#ifndef QZKIT_REFERENCE_BEATS_H
#define QZKIT_REFERENCE_BEATS_H

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "io/AtomicFile.h"

namespace qzkit {

// Beat times as ticks of a clock: annotation sample numbers at the record's
// rate, or seconds (ticksPerSecond 1). Kept as ticks so that a beat on a
// window edge maps exactly onto that edge.
struct ReferenceBeats {
    std::vector<double> ticks;  // ascending, each time once (repeats are merged with a warning)
    double ticksPerSecond = 1.0;
    std::string source;

    // A tick on the sample axis of a signal at `rate` (multiplied first, so
    // whole ticks that fall on a sample give exactly that sample).
    double ToSamples(double tick, double rate) const { return tick * rate / ticksPerSecond; }
};

// Beat annotations of a WFDB annotation file (MIT format); other annotations
// are left out. The clock is `rate` when positive, else the time resolution
// noted in the file, else the frequency in the header of the same record
// beside it (record.hea for record.atr). Throws ToolkitError when none is
// known or the file has no beats.
ReferenceBeats ReadReferenceAnnotations(const std::filesystem::path &path, double rate);

// The annotation file `given` names: a path as it is, or, as WFDB tools take
// it, an annotator name (a word with neither dot nor directory, such as atr)
// for the file of that suffix beside `record`: record.atr. A file named
// exactly `given` is taken as a path. ToolkitError for an annotator name
// when no record is known (`record` empty).
std::filesystem::path AnnotationFile(const std::filesystem::path &given, const std::filesystem::path &record);

// Beat times in seconds from a CSV: the column time_s (or time) of a table
// with a header, or the first column of a table without one. Throws
// ToolkitError on a bad value or an empty table.
ReferenceBeats ReadReferenceBeatTimes(const std::filesystem::path &path);

// Beat positions from the column `sample` of a CSV, as samples of a signal at
// `rate` (the reference a manifest names, or synth's beat list).
ReferenceBeats ReadReferenceBeatSamples(const std::filesystem::path &path, double rate);

// Writes `beats` as positions on the sample axis of a signal at `rate`
// (column sample, exact to the last digit) and times (column time_s), so that
// ReadReferenceBeatSamples puts each beat into the same window again.
ContentWriter ReferenceBeatsWriter(const ReferenceBeats &beats, double rate);

struct WindowReference {
    std::size_t firstBeat = 0;  // index of the first beat inside the window
    std::size_t beats = 0;      // reference beats inside the window
    std::optional<double> bpm;  // 60 / mean RR of those beats; none with fewer than 2
};

// The reference of the window of `length` samples from `start` of a signal at
// `rate`: the beats at positions start <= p < start + length (a beat on the
// end edge belongs to the next window), and 60 / mean RR of consecutive beats
// among them, which is 60 * (n - 1) / (time of last - time of first).
WindowReference ReferenceForWindow(const ReferenceBeats &beats, std::size_t start, std::size_t length, double rate);

// The times in seconds of the beats `reference` holds.
std::vector<double> WindowBeatTimes(const ReferenceBeats &beats, const WindowReference &reference);

}  // namespace qzkit

#endif
