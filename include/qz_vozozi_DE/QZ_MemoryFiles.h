// SPDX-License-Identifier: Apache-2.0
// An in-memory pair of file operations for hosts that run the library many
// times in one process (batch evaluation, fuzzing): link the library with
// qz_memfileio instead of qz_fileio, put the input files here, run, and read
// back what the run wrote. Not for the device build.
#ifndef QZ_MEMORY_FILES_H
#define QZ_MEMORY_FILES_H

#include <cstdint>
#include <string>
#include <vector>

namespace qz::memfiles {
#pragma GCC visibility push(default)  // exported; everything else is built hidden

// Removes every file and returns to keeping writes.
void Clear();

// Creates or replaces the file called `name` (base name + extension).
void SetFile(const std::string &name, std::vector<std::uint8_t> bytes);

// The file's bytes, or nullptr when there is no such file.
const std::vector<std::uint8_t> *GetFile(const std::string &name);

// The names of every file held, in byte order.
std::vector<std::string> FileNames();

// When on, writes succeed but store nothing (the fastest mode for batches).
void SetDiscardWrites(bool discard);

#pragma GCC visibility pop
}  // namespace qz::memfiles

#endif
