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

int WriteWhole(int descriptor, const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    while (size > 0) {
        const ssize_t count = ::write(descriptor, bytes, size);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count < 0 ? errno : ENOSPC;
        }
        bytes += count;
        size -= static_cast<std::size_t>(count);
    }
    return 0;
}

void AppendFile::Append(std::span<const std::uint8_t> bytes)
{
    const int cause = WriteWhole(descriptor_, bytes.data(), bytes.size());
    if (cause != 0) {
        Truncate(size_);
        throw ToolkitError("cannot write " + path_.string() + ": " + std::strerror(cause));
    }
    size_ += bytes.size();
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
