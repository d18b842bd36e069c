// Reading an input file whole.
#ifndef QZKIT_FILE_BYTES_H
#define QZKIT_FILE_BYTES_H

#include <cstdint>
#include <filesystem>
#include <vector>

namespace qzkit {

// The file's bytes; ToolkitError when it cannot be opened or read.
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path &path);

}  // namespace qzkit

#endif
