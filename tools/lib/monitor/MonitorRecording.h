// SPDX-License-Identifier: Apache-2.0
// What a monitor run keeps, written as it goes so that it is whole and
// readable at every moment, up to the last commit (a commit a second, and at
// the end, whatever ends the run):
// - the stream as the WFDB record DIRECTORY/NAME (format 16, the samples as
//   received and clipped, at the expected rate), described with convert's
//   default front end (200 counts per mV around 512), so that convert reads
//   the counts back;
// - NAME.estimates.csv, a row per estimate (monitor/EstimateTable.h);
// - in a firmware check, each window whose result differs: NAME-END.ecg, the
//   desktop's result record NAME-END.out (the tool run on NAME-END writes the
//   same) and the firmware's NAME-END.device.out.
#ifndef QZKIT_MONITOR_RECORDING_H
#define QZKIT_MONITOR_RECORDING_H

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "io/AppendFile.h"
#include "io/wfdb/WfdbWriter.h"
#include "monitor/MonitorSession.h"

namespace qzkit {

class MonitorRecording {
public:
    // Creates the directory when needed and the files; ToolkitError when
    // they exist or cannot be made.
    MonitorRecording(const std::filesystem::path &directory, const std::string &name, double rate);

    void AddSample(std::uint16_t sample) { pending_.push_back(static_cast<std::int16_t>(sample)); }
    void AddEstimateRow(const std::string &row);
    // Writes the samples added so far and names them in the header.
    void Commit();
    std::filesystem::path RecordPath() const { return directory_ / name_; }

private:
    std::filesystem::path directory_;
    std::string name_;
    GrowingWfdbRecord16 record_;
    AppendFile estimates_;
    std::vector<std::int16_t> pending_;
};

// Saves a differing window of a firmware check as described above, in
// `directory`; returns the base name the files share. Existing files are
// not replaced (ToolkitError).
std::filesystem::path SaveDifferingWindow(const std::filesystem::path &directory, const std::string &name,
                                          const Estimate &estimate);

}  // namespace qzkit

#endif
