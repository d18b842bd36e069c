// SPDX-License-Identifier: Apache-2.0
// How far the figure moves each detected peak back to place its beat on the
// recording, and the title line that explains it stage by stage.
#ifndef QZKIT_DELAY_ACCOUNT_H
#define QZKIT_DELAY_ACCOUNT_H

#include <cstddef>
#include <string>

#include "plot/PlotFigure.h"
#include "plot/PlotInputs.h"

namespace qzkit {

struct DelayAccount {
    std::size_t samples = 0;  // the sum of the shifts of the stages that ran
    std::string text;
};

// An unknown derivative order is taken as the tool's default (2-point), and
// the text says so.
DelayAccount AccountDelays(const RunFiles &files, const RunSettings &settings);

}  // namespace qzkit

#endif
