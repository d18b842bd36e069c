// SPDX-License-Identifier: Apache-2.0
// One signal of a WFDB record as a recording in physical units, at the
// signal's own rate (frame rate times its samples per frame).
#ifndef QZKIT_WFDB_RECORDING_H
#define QZKIT_WFDB_RECORDING_H

#include <filesystem>
#include <memory>
#include <string>

#include "io/Recording.h"

namespace qzkit {

// `record` is the header or the record's name, `channel` a description or
// index (ChooseChannel). Invalid samples repeat the previous valid value;
// gaps of a multi-segment record are listed, never filled.
Recording ReadWfdbRecording(const std::filesystem::path &record, const std::string &channel);

// The same signal read a piece at a time (a whole number of frames each).
std::unique_ptr<ChannelReader> OpenWfdbChannel(const std::filesystem::path &record, const std::string &channel);

}  // namespace qzkit

#endif
