// SPDX-License-Identifier: Apache-2.0
// The text of the figure's title block: the headline (record, BPM, QI,
// peaks) and the lines under it (beat classification, statistics, method
// dump, peak list, delay account, recording and settings).
#ifndef QZKIT_TITLE_TEXT_H
#define QZKIT_TITLE_TEXT_H

#include <cstddef>
#include <string>
#include <vector>

#include "plot/PlotFigure.h"
#include "plot/PlotInputs.h"

namespace qzkit {

// Whether the constants' Period gives a time axis.
bool PeriodUsable(float period);

// Whether a beat-classification method ran, and which.
std::string ClassificationText(const RunFiles &files, const RunSettings &settings);

// `markedPeaks`: the peaks marked on the figure, which may include one open
// at the end of the scan.
std::string Headline(const RunFiles &files, std::size_t markedPeaks);

// The lines under the headline, in order, wrapped at blanks; `delayText`
// explains where the beats on the recording come from.
std::vector<std::string> TitleLines(const RunFiles &files, const RunSettings &settings, const std::string &delayText);

}  // namespace qzkit

#endif
