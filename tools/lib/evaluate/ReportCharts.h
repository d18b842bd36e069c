// SPDX-License-Identifier: Apache-2.0
// The report's charts as inline SVG text: a Bland-Altman plot, an error
// histogram and accuracy against coverage.
#ifndef QZKIT_REPORT_CHARTS_H
#define QZKIT_REPORT_CHARTS_H

#include <string>
#include <vector>

#include "evaluate/RateAgreement.h"

namespace qzkit {

// Difference (reported - reference) against the mean of the two, one dot per
// pair, with the bias and the 95 % limits of agreement drawn.
std::string BlandAltmanSvg(const std::vector<RatePair> &pairs, const RateAgreement &agreement,
                           const std::string &title);

// Counts of errors (reported - reference) in 1 BPM bins, the outer bins
// holding everything beyond +-`range`.
std::string ErrorHistogramSvg(const std::vector<double> &errors, double range, const std::string &title);

struct CoverageCurve {
    std::string label;
    std::vector<double> coverage;  // percent, one point per QI cut-off
    std::vector<double> accuracy;  // percent within +-5 BPM
};

// One line per curve, points labelled by QI cut-off (0, 1, 2, ...).
std::string CoverageAccuracySvg(const std::vector<CoverageCurve> &curves);

// Colour of the n-th combination, the same in every chart.
std::string SeriesColour(std::size_t index);

}  // namespace qzkit

#endif
