// SPDX-License-Identifier: Apache-2.0
// Which stages a run ran: the stage mask it was given, or, when that is not
// known, the stage dump files it left.
#ifndef QZKIT_RUN_STAGES_H
#define QZKIT_RUN_STAGES_H

#include <cstddef>
#include <cstdint>

#include "plot/PlotFigure.h"
#include "plot/PlotInputs.h"

namespace qzkit {

// Whether the dump stage `stage` (an index into DumpStages()) ran.
bool StageRan(const RunFiles &files, const RunSettings &settings, std::size_t stage);

// Whether a stage without a dump file (peak finding, beat-rate estimation)
// ran: unless the mask is known, it is taken to have run.
bool MaskRuns(const RunSettings &settings, std::uint16_t bit);

// The stage mask the run used, or the one its dump files imply.
std::uint16_t StagesRun(const RunFiles &files, const RunSettings &settings);

}  // namespace qzkit

#endif
