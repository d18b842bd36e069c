// SPDX-License-Identifier: Apache-2.0
#include "io/AppendFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/types.h>
#include <unistd.h>

#include "ToolkitError.h"

namespace qzkit {

AppendFile::AppendFile(const std::filesystem::path &path) : path_(path)
{
    descriptor_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor_ < 0) {
        const int cause = errno;
        throw ToolkitError(path.string() + (cause == EEXIST ? ": exists; not replaced" : ": cannot create: ") +
                           (cause == EEXIST ? "" : std::strerror(cause)));
    }
}

AppendFile::~AppendFile()
{
    ::close(descriptor_);
}

void AppendFile::Append(std::span<const std::uint8_t> bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(descriptor_, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            const int cause = count < 0 ? errno : ENOSPC;
            Truncate(size_);
            throw ToolkitError("cannot write " + path_.string() + ": " + std::strerror(cause));
        }
        written += static_cast<std::size_t>(count);
    }
    size_ += written;
}

void AppendFile::Truncate(std::size_t size)
{
    // Both calls only take space back, so they work on a full disk too.
    if (::ftruncate(descriptor_, static_cast<off_t>(size)) == 0) {
        ::lseek(descriptor_, static_cast<off_t>(size), SEEK_SET);
        size_ = size;
    }
}

}  // namespace qzkit
