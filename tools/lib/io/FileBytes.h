// SPDX-License-Identifier: Apache-2.0
// Reading an input file whole. Every input is a regular file: a FIFO, device
// or socket is refused (it may never end, or never be written); text files are
// read up to a stated size.
#ifndef QZKIT_FILE_BYTES_H
#define QZKIT_FILE_BYTES_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qzkit {

// Largest text inputs read: tables (recordings, beat times, manifests) and
// the short texts (constants, headers, logs).
inline constexpr std::size_t kTableTextLimit = std::size_t{256} << 20;  // 256 MiB
inline constexpr std::size_t kShortTextLimit = std::size_t{1} << 20;    // 1 MiB

// ToolkitError naming `path` when it is a directory.
void RefuseDirectory(const std::filesystem::path &path);

// The bytes of a regular file, or its first `limit` bytes; ToolkitError
// naming the file when it cannot be opened or read, is a directory, or is
// not a regular file (a device, a FIFO).
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path &path, std::size_t limit = SIZE_MAX);

// The text of a regular file, read up to `limit` bytes; a UTF-8 byte-order
// mark at its start is dropped. ToolkitError naming the file when it cannot be
// read, is not a regular file, or holds more than `limit` bytes.
std::string ReadTextFile(const std::filesystem::path &path, std::size_t limit);

}  // namespace qzkit

#endif
