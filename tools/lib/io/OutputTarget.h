// SPDX-License-Identifier: Apache-2.0
// One output of a run, checked before a byte of it is written: the file a
// write to its name replaces (a symbolic link is followed to the file it
// names), whether that may be replaced (a regular file or none, not
// write-protected unless the run was told to replace such files), whether
// it is one of the run's inputs; and writing its content into a temporary
// file. The name "-" is standard output.
#ifndef QZKIT_OUTPUT_TARGET_H
#define QZKIT_OUTPUT_TARGET_H

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <ostream>

namespace qzkit {

using ContentWriter = std::function<void(std::ostream &)>;

// A file as the system knows it, whatever name reaches it.
struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FileIdentity &other) const { return device == other.device && inode == other.inode; }
};

// None when `path` names no file.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path &path);

bool IsStandardOutput(const std::filesystem::path &path);

// The file a write to `path` replaces. ToolkitError for a path without a
// file name, a chain of too many links, an existing thing that is not a
// regular file, or (unless `replaceProtected`) a write-protected file.
std::filesystem::path WriteTarget(const std::filesystem::path &path, bool replaceProtected);

// Writes `temporary` through `write`; ToolkitError naming `shown` when it
// cannot be created or written.
void WriteTemporary(const std::filesystem::path &shown, const std::filesystem::path &temporary,
                    const ContentWriter &write);

// ToolkitError when `output` is the same file as one of `inputs` (also
// through links), checked before the run does its work. Empty paths and "-"
// are skipped.
void RefuseOutputOverInput(const std::filesystem::path &output, std::initializer_list<std::filesystem::path> inputs);

}  // namespace qzkit

#endif
