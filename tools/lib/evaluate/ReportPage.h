// SPDX-License-Identifier: Apache-2.0
// The evaluation as one self-contained HTML page: styles in the page,
// figures as inline SVG, no scripts and nothing fetched.
#ifndef QZKIT_REPORT_PAGE_H
#define QZKIT_REPORT_PAGE_H

#include <string>

#include "evaluate/ManifestEvaluation.h"

namespace qzkit {

// The data, settings, reference rule and tool version; the summary table
// with a column per combination; the QI x error tables; a Bland-Altman plot
// and an error histogram per combination; accuracy against coverage; a table
// per record; the worst windows (options.worst) with their run pictures.
// ToolkitError when a picture cannot be made.
std::string ReportPage(const EvaluateReport &report, const EvaluateOptions &options);

}  // namespace qzkit

#endif
