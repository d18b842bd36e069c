// SPDX-License-Identifier: Apache-2.0
// Writing a one-signal WFDB record in format 16.
#ifndef QZKIT_WFDB_WRITER_H
#define QZKIT_WFDB_WRITER_H

#include <filesystem>
#include <string>
#include <vector>

namespace qzkit {

// Writes base + ".hea" and base + ".dat" (format 16, one signal) atomically.
void WriteWfdbRecord16(const std::filesystem::path &base, double frequency, const std::vector<int> &samples,
                       double gain, int baseline, const std::string &units, const std::string &description);

}  // namespace qzkit

#endif
