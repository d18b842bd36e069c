// SPDX-License-Identifier: Apache-2.0
// The checks that a run's files fit the figure: every signal as long as the
// recording, every stored peak inside it, and a dump from every stage the
// mask runs.
#ifndef QZKIT_RUN_FILE_CHECKS_H
#define QZKIT_RUN_FILE_CHECKS_H

#include "plot/PlotFigure.h"
#include "plot/PlotInputs.h"

namespace qzkit {

// Throws ToolkitError, naming the file, at the first file that does not fit.
void CheckRunFiles(const RunFiles &files, const RunSettings &settings);

}  // namespace qzkit

#endif
