// SPDX-License-Identifier: Apache-2.0
// EDF and BDF (and their + variants) recordings, read through EDFlib.
#ifndef QZKIT_EDF_RECORDING_H
#define QZKIT_EDF_RECORDING_H

#include <filesystem>
#include <memory>
#include <string>

#include "io/Recording.h"

namespace qzkit {

// One signal in physical units (the file's physical dimension, often uV),
// chosen by label or index. ToolkitError when the file cannot be opened or
// the signal is absent.
Recording ReadEdfRecording(const std::filesystem::path &path, const std::string &channel);

// The same signal read a piece at a time.
std::unique_ptr<ChannelReader> OpenEdfChannel(const std::filesystem::path &path, const std::string &channel);

}  // namespace qzkit

#endif
