// SPDX-License-Identifier: Apache-2.0
// What `constants tune` writes: the Pareto set as CSV, the chosen set's
// text source (command, design and scores in its comments), a Markdown
// summary with the training and validation scores side by side, and a
// figure of the front.
#ifndef QZKIT_TUNE_REPORT_H
#define QZKIT_TUNE_REPORT_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "plot/FigureFiles.h"
#include "tune/TuneSearch.h"

namespace qzkit {

struct TuneResult {
    std::string command;                // as given
    std::string pick;                   // the rule that chose, in words
    Ranking ranking;
    SearchLog log;                      // validation scores filled in for the front and the chosen point
    std::vector<std::size_t> front;     // indices into log.evaluated, best ranked first
    std::size_t chosen = 0;
    bool feasible = true;               // the chosen point meets the requirements
    std::optional<Evaluated> start;     // the set the search is compared with
    std::vector<std::string> families;  // of the battery
    bool validated = false;             // validation manifests were given
    bool validationStopped = false;     // stopped before every point shown was validated
    std::size_t workers = 1;
    std::uint64_t fingerprint = 0;      // of the data the training scores were made on
    std::size_t resumed = 0;            // points whose scores were kept from an earlier run
    double seconds = 0.0;
    double loadAverage = 0.0;           // of the machine, over the last minute, at the end
};

// Rows of the Pareto set, best ranked first: the knobs, the settings, every
// measure on training (and validation) and the set's 31 bytes in hex.
std::string FrontCsv(const TuneResult &result);

// The chosen set as `constants make` reads it.
std::string ChosenText(const TuneResult &result, const std::string &name);

// Warnings where a measure improves on training but gets worse on
// validation, or where the two lie far apart.
std::vector<std::string> ValidationWarnings(const TuneResult &result);

std::string TuneSummary(const TuneResult &result);

RenderedFigure RenderFrontFigure(const TuneResult &result);

// Every file a search writes under `base`: the journal of the points scored
// (BASE.points, written as they are scored) and the results WriteTuneOutputs
// writes.
std::vector<std::filesystem::path> TuneOutputPaths(const std::filesystem::path &base);

// BASE.csv, BASE.pvx.filters.v1, BASE.constants.txt, BASE.md and the figure
// BASE.svg / BASE.png, each written whole or not at all.
void WriteTuneOutputs(const std::filesystem::path &base, const TuneResult &result);

}  // namespace qzkit

#endif
