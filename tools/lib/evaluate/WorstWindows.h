// SPDX-License-Identifier: Apache-2.0
// The windows an evaluation got most wrong, and the picture of each run.
#ifndef QZKIT_WORST_WINDOWS_H
#define QZKIT_WORST_WINDOWS_H

#include <cstddef>
#include <string>
#include <vector>

#include "evaluate/ManifestEvaluation.h"

namespace qzkit {

struct WindowPick {
    std::size_t combination = 0;  // index into the report's combinations
    std::size_t window = 0;       // index into that combination's results
};

// The `count` answered windows (QI 0-2) with the largest absolute error over
// every combination, largest first; ties in combination and window order.
std::vector<WindowPick> WorstWindows(const EvaluateReport &report, std::size_t count);

// The run picture of a window (as qzkit plot --run draws it), as SVG markup
// to place inside an HTML page: scaled to the page's width, and every id
// prefixed with `idPrefix` so that several pictures can share one page.
// Runs the estimator on the window again, in-process.
std::string RunPictureSvg(const EvaluateReport &report, const EvaluateOptions &options, const WindowPick &pick,
                          const std::string &idPrefix);

}  // namespace qzkit

#endif
