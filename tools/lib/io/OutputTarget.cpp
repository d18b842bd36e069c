// SPDX-License-Identifier: Apache-2.0
#include "io/OutputTarget.h"

#include <fstream>
#include <string>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr const char *kStandardOutput = "-";
constexpr int kMaxLinks = 40;  // as the kernel's limit on links followed in one path

// The file a write to `path` must replace: `path` itself, or the file its
// chain of symbolic links ends at (which may not exist yet).
std::filesystem::path ResolveLinks(const std::filesystem::path &path)
{
    std::filesystem::path target = path;
    for (int followed = 0; std::filesystem::is_symlink(target); ++followed) {
        if (followed == kMaxLinks) {
            throw ToolkitError(path.string() + ": too many levels of symbolic links");
        }
        const std::filesystem::path next = std::filesystem::read_symlink(target);
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

// A user may replace a file they may write; root may replace any file that
// has a write permission for someone, as for anyone else a 444 file is
// write-protected.
bool WriteProtected(const std::filesystem::path &target)
{
    struct stat status {};
    if (::stat(target.c_str(), &status) != 0) {
        return false;
    }
    if (::geteuid() == 0) {
        return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    }
    return ::access(target.c_str(), W_OK) != 0;
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::filesystem::path &path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

bool IsStandardOutput(const std::filesystem::path &path)
{
    return path == kStandardOutput;
}

std::filesystem::path WriteTarget(const std::filesystem::path &path, bool replaceProtected)
{
    if (path.empty() || path.filename().empty()) {
        throw ToolkitError("'" + path.string() + "': an output needs a file name");
    }
    std::filesystem::path target = ResolveLinks(path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(target, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        throw ToolkitError(path.string() + ": exists and is not a regular file; not replaced");
    }
    if (!replaceProtected && WriteProtected(target)) {
        throw ToolkitError(path.string() + ": is write-protected; not replaced (--force replaces it)");
    }
    return target;
}

void WriteTemporary(const std::filesystem::path &shown, const std::filesystem::path &temporary,
                    const ContentWriter &write)
{
    std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
    if (!stream) {
        throw ToolkitError("cannot create " + shown.string());
    }
    write(stream);
    stream.flush();
    stream.close();
    if (!stream) {
        throw ToolkitError("cannot write " + shown.string());
    }
}

void RefuseOutputOverInput(const std::filesystem::path &output, std::initializer_list<std::filesystem::path> inputs)
{
    if (output.empty() || IsStandardOutput(output)) {
        return;
    }
    for (const std::filesystem::path &input : inputs) {
        std::error_code error;
        if (!input.empty() && std::filesystem::equivalent(output, input, error)) {
            throw ToolkitError(output.string() + ": is also an input (" + input.string() + "); not overwritten");
        }
    }
}

}  // namespace qzkit
