// SPDX-License-Identifier: Apache-2.0
// A recording replayed as a stream: a tool's .ecg file (16-bit words, at the
// rate the caller gives) or a WFDB record (the digital values of one signal,
// at the record's own rate; a monitor run's recording is one).
#ifndef QZKIT_REPLAY_H
#define QZKIT_REPLAY_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qzkit {

struct ReplayRecording {
    std::vector<std::int64_t> samples;
    double rate = 0.0;
    std::size_t missing = 0;  // samples the record marks missing, left out
};

// `signal` chooses the WFDB signal by name or index (empty: the first);
// `ecgRate` is the rate of an .ecg file. ToolkitError when unreadable.
ReplayRecording ReadReplay(const std::filesystem::path &path, const std::string &signal, double ecgRate);

}  // namespace qzkit

#endif
