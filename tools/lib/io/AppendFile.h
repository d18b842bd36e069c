// SPDX-License-Identifier: Apache-2.0
// A file that a long run writes as it goes, in whole pieces: each Append()
// lands whole or not at all, so the file never ends in a torn piece (a full
// disk, a file size limit).
#ifndef QZKIT_APPEND_FILE_H
#define QZKIT_APPEND_FILE_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace qzkit {

// Writes all `size` bytes of `data` to `descriptor`, again after an
// interruption; 0 when all are written, else the cause (ENOSPC when the
// system writes nothing without saying why).
int WriteWhole(int descriptor, const void *data, std::size_t size);

class AppendFile {
public:
    // Creates `path`; ToolkitError when it exists (nothing of an earlier run
    // is replaced) or cannot be created.
    explicit AppendFile(const std::filesystem::path &path);
    ~AppendFile();
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;

    // Writes `bytes` at the end. When not all of them can be written, the
    // file is cut back to its size before the call and ToolkitError is thrown.
    void Append(std::span<const std::uint8_t> bytes);
    // Cuts the file back to its first `size` bytes (size <= Size()).
    void Truncate(std::size_t size);
    std::size_t Size() const { return size_; }
    const std::filesystem::path &Path() const { return path_; }

private:
    std::filesystem::path path_;
    int descriptor_ = -1;
    std::size_t size_ = 0;
};

}  // namespace qzkit

#endif
