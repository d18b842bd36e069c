// SPDX-License-Identifier: Apache-2.0
// The battery's picture: one panel per family with the reported rate against
// the expected one inside the tolerance band, failures marked, and a strip
// of one representative waveform (the first failing case's, or the first).
#ifndef QZKIT_CONFORMANCE_FIGURE_H
#define QZKIT_CONFORMANCE_FIGURE_H

#include <string>
#include <vector>

#include "conformance/Battery.h"
#include "plot/FigureFiles.h"

namespace qzkit {

// `title` heads the picture (what ran: constants and settings). Throws
// ToolkitError when cairo reports an error.
RenderedFigure RenderConformanceFigure(const BatteryOptions &options, const std::vector<BatteryRun> &runs,
                                       const std::string &title);

}  // namespace qzkit

#endif
