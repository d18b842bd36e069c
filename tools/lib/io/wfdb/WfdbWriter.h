// SPDX-License-Identifier: Apache-2.0
// Writing a one-signal WFDB record in format 16: whole at once, or growing
// as samples arrive.
#ifndef QZKIT_WFDB_WRITER_H
#define QZKIT_WFDB_WRITER_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "io/AppendFile.h"

namespace qzkit {

// The signal's description in the header.
struct WfdbSignal16 {
    double frequency = 0.0;
    double gain = 0.0;
    int baseline = 0;
    std::string units;
    std::string description;
};

// Writes base + ".hea" and base + ".dat" (format 16, one signal) atomically.
void WriteWfdbRecord16(const std::filesystem::path &base, const WfdbSignal16 &signal, const std::vector<int> &samples);

// A record written while it grows: samples are appended to base + ".dat",
// and Commit() rewrites base + ".hea" (atomically) to name every sample
// appended so far. Between commits the data file may hold more samples than
// the header names, which readers ignore, so the record reads whole at every
// moment, up to the last commit.
class GrowingWfdbRecord16 {
public:
    // Creates both files (refused when either exists) with no samples.
    GrowingWfdbRecord16(const std::filesystem::path &base, const WfdbSignal16 &signal);

    // ToolkitError when the data file cannot take them; it then holds the
    // samples before the call.
    void Append(std::span<const std::int16_t> samples);
    // ToolkitError when the header cannot be written; the data file is then
    // cut back to the samples the header on disk names.
    void Commit();
    std::size_t Samples() const { return data_.Size() / 2u; }

private:
    std::filesystem::path header_;
    WfdbSignal16 signal_;
    AppendFile data_;
    std::uint16_t checksum_ = 0;  // of every sample appended
    std::size_t committed_ = 0;
    std::uint16_t committedChecksum_ = 0;
};

}  // namespace qzkit

#endif
