// SPDX-License-Identifier: Apache-2.0
// The tool's recording file: little-endian 16-bit samples, no header.
#ifndef QZKIT_ECG_FILE_H
#define QZKIT_ECG_FILE_H

#include <cstdint>
#include <filesystem>
#include <vector>

namespace qzkit {

// The file's bytes for these samples.
std::vector<std::uint8_t> EcgFileBytes(const std::vector<std::uint16_t> &samples);

// Writes the samples atomically (see AtomicFile.h).
void WriteEcgFile(const std::filesystem::path &path, const std::vector<std::uint16_t> &samples);

// Reads every whole sample of the file; ToolkitError when it cannot be read
// or has an odd number of bytes.
std::vector<std::uint16_t> ReadEcgFile(const std::filesystem::path &path);

}  // namespace qzkit

#endif
