// SPDX-License-Identifier: Apache-2.0
// `qzkit constants tune` as a whole: load what the candidates are scored on,
// score the starting set, search, take the Pareto set, pick a point, score
// the front on the validation manifests (never used to choose) and write the
// files.
#ifndef QZKIT_TUNE_H
#define QZKIT_TUNE_H

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "conformance/Battery.h"
#include "tune/TuneReport.h"
#include "run/WorkerProcesses.h"

namespace qzkit {

struct TuneOptions {
    SearchOptions search;
    BatteryOptions battery;  // no families: no battery; the constants only give the sampling rate
    std::vector<std::filesystem::path> training;    // manifests
    std::vector<std::filesystem::path> validation;  // manifests, only scored
    std::optional<std::filesystem::path> start;     // constants compared with (settings: the first choice)
    Ranking ranking;
    bool keepFamilies = false;  // no battery family passes fewer cases than the start
    std::optional<std::size_t> pickRow;  // a row of the Pareto set instead of the rule
    std::size_t workers = 2;
    std::optional<int> scorer;             // a socket to a scorer outside the program, which scores instead
    std::filesystem::path output{"tune"};  // base name of the files
    bool resume = false;                   // reuse the scores kept in OUTPUT.points
    std::string command;                   // as given, for the files
};

// Called as scores arrive: the phase, points scored so far, an estimate of
// the points still to come.
using TuneProgress = std::function<void(std::string_view phase, std::size_t scored, std::size_t expected)>;

// ToolkitError for unusable options or input (before any search), or when
// nothing could be scored. `stop` ends the search early; what was found is
// still written, with every point scored in OUTPUT.points, from which a run
// with `resume` goes on.
TuneResult RunTune(const TuneOptions &options, const StopRequest &stop, const TuneProgress &progress);

}  // namespace qzkit

#endif
