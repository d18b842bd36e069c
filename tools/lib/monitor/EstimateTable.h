// SPDX-License-Identifier: Apache-2.0
// One CSV row per estimate: what the monitor prints for scripts and keeps in
// the recording's estimates table. The window and result columns are named
// and written as in evaluate's per-window table; the result record's 43
// words follow as the firmware protocol writes them.
#ifndef QZKIT_ESTIMATE_TABLE_H
#define QZKIT_ESTIMATE_TABLE_H

#include <optional>
#include <string>

#include "monitor/MonitorSession.h"

namespace qzkit {

// What the stream looked like when the estimate was made.
struct StreamState {
    double hostSeconds = 0.0;  // since the monitor started
    std::optional<double> arrivalRate;
    std::uint64_t clipped = 0;
    std::uint64_t badLines = 0;
};

// The header line, with its line end.
std::string EstimateTableHeader();
// One row, with its line end; `rate` is the expected sampling rate.
std::string EstimateTableRow(const Estimate &estimate, double rate, const StreamState &state);

const char *CheckVerdictName(CheckVerdict verdict);

}  // namespace qzkit

#endif
