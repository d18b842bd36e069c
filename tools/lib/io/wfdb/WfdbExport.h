// SPDX-License-Identifier: Apache-2.0
// A WFDB record's samples as CSV: chosen signals over a span of time, in
// physical or ADC units, one row per frame (frame means) or per sample of
// the most oversampled signal.
#ifndef QZKIT_WFDB_EXPORT_H
#define QZKIT_WFDB_EXPORT_H

#include <ostream>
#include <string>
#include <vector>

#include "io/wfdb/WfdbRecord.h"

namespace qzkit {

// Rows written without being asked for more: about 1.5 GB of CSV.
inline constexpr std::uint64_t kDefaultMaxRows = 50'000'000;

struct ExportOptions {
    std::vector<std::string> channels;  // descriptions or indices; empty: every signal
    std::string from;                   // seconds, or a frame number as "s123"; empty: the start
    std::string to;                     // likewise, exclusive; empty or past the end: the end
    bool digital = false;               // ADC units instead of physical units
    bool highResolution = false;        // every sample; rows at the rate of the record's most oversampled
                                        // signal, other signals repeated within their frame
    std::uint64_t maxRows = kDefaultMaxRows;  // a longer span is refused before a row is written; 0: no bound
};

// Writes the header line (time_s and the channel names) and the rows. A gap,
// and in physical units an invalid sample, is an empty cell. Throws
// ToolkitError for options that do not fit the record and for a span of
// more rows than options.maxRows. Reads a span of at most a few million
// samples at a time (one frame when a frame alone holds more).
void ExportCsv(const WfdbRecord &record, const ExportOptions &options, std::ostream &out,
               std::vector<std::string> &warnings);

// The frame that `text` names: "s123", or seconds (rounded to the nearest frame).
std::uint64_t ParseRecordTime(const std::string &text, double frameRate, const char *option);


}  // namespace qzkit

#endif
