// SPDX-License-Identifier: Apache-2.0
#include "io/FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "io/AtomicFile.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kReadChunk = std::size_t{1} << 16;

[[noreturn]] void FailWithErrno(const std::filesystem::path &path, const char *what)
{
    throw ToolkitError(std::string(what) + " " + path.string() + ": " + std::strerror(errno));
}

// An open regular file, closed when reading ends. It is opened without
// blocking, so that a FIFO with no writer is refused rather than waited on; a
// directory, FIFO, device or socket is refused.
class InputFile {
public:
    explicit InputFile(const std::filesystem::path &path) : path_(path)
    {
        descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (descriptor_ < 0) {
            FailWithErrno(path, "cannot open");
        }
        if (::fstat(descriptor_, &status_) != 0) {
            ::close(descriptor_);
            FailWithErrno(path, "cannot read");
        }
        if (S_ISDIR(status_.st_mode)) {
            ::close(descriptor_);
            RefuseDirectory(path);
        }
        if (!S_ISREG(status_.st_mode)) {
            ::close(descriptor_);
            throw ToolkitError(path.string() + ": not a regular file");
        }
        NoteInput(path);
    }
    ~InputFile() { ::close(descriptor_); }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    std::size_t Size() const { return static_cast<std::size_t>(status_.st_size); }

    // Reads up to `count` bytes to `into`; fewer only at the end of the file.
    std::size_t Read(char *into, std::size_t count) const
    {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = ::read(descriptor_, into + done, count - done);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                FailWithErrno(path_, "cannot read");
            }
            if (got == 0) {
                break;
            }
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

private:
    const std::filesystem::path &path_;
    int descriptor_ = -1;
    struct stat status_ {};
};

}  // namespace

void RefuseDirectory(const std::filesystem::path &path)
{
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        throw ToolkitError(path.string() + ": is a directory, not a file");
    }
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path &path, std::size_t limit)
{
    const InputFile file(path);
    std::vector<std::uint8_t> bytes(std::min(file.Size(), limit));
    bytes.resize(file.Read(reinterpret_cast<char *>(bytes.data()), bytes.size()));
    return bytes;
}

[[noreturn]] void RefuseLargerThan(const std::filesystem::path &path, std::size_t limit)
{
    throw ToolkitError(path.string() + ": larger than " + std::to_string(limit >> 20) +
                       " MiB; not a text file of this kind");
}

std::string ReadTextFile(const std::filesystem::path &path, std::size_t limit)
{
    const InputFile file(path);
    if (file.Size() > limit) {
        RefuseLargerThan(path, limit);
    }
    std::string text;
    while (true) {
        const std::size_t before = text.size();
        const std::size_t wanted = std::min(kReadChunk, limit + 1 - before);
        text.resize(before + wanted);
        const std::size_t got = file.Read(text.data() + before, wanted);
        text.resize(before + got);
        if (text.size() > limit) {
            RefuseLargerThan(path, limit);  // it grew while read
        }
        if (got < wanted) {
            break;
        }
    }
    if (text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
        text.erase(0, kByteOrderMark.size());
    }
    return text;
}

}  // namespace qzkit
