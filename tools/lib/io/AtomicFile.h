// Writing an output file so that readers see either the old file or the whole
// new one: the content goes to a temporary file in the same directory, which
// is renamed over the target only after it was written and closed without
// error.
#ifndef QZKIT_ATOMIC_FILE_H
#define QZKIT_ATOMIC_FILE_H

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <vector>

namespace qzkit {

// Calls `write` with a binary stream on a temporary file beside `path`, then
// renames it to `path`. On any failure (including an exception from `write`)
// the temporary file is removed, `path` is left as it was, and ToolkitError
// (or the exception of `write`) is thrown.
void WriteFileAtomically(const std::filesystem::path &path, const std::function<void(std::ostream &)> &write);

void WriteBytesAtomically(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes);

}  // namespace qzkit

#endif
