#include "io/AtomicFile.h"

#include <atomic>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <unistd.h>

#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr const char *kStandardOutput = "-";
constexpr int kMaxLinks = 40;  // as the kernel's limit on links followed in one path

bool IsStandardOutput(const std::filesystem::path &path)
{
    return path == kStandardOutput;
}

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

std::filesystem::path WriteTarget(const std::filesystem::path &path)
{
    const std::filesystem::path target = ResolveLinks(path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(target, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        throw ToolkitError(path.string() + ": exists and is not a regular file; not replaced");
    }
    return target;
}

// A name beside the target that no other writer of this or another process uses.
std::filesystem::path TemporaryPathFor(const std::filesystem::path &path)
{
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temporary = path;
    temporary += ".tmp." + std::to_string(getpid()) + "." + std::to_string(counter++);
    return temporary;
}

void RemoveQuietly(const std::filesystem::path &path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

void WriteToStandardOutput(const ContentWriter &write)
{
    write(std::cout);
    std::cout.flush();
    if (!std::cout) {
        throw ToolkitError("cannot write to standard output");
    }
}

}  // namespace

StagedFile::StagedFile(const std::filesystem::path &path, const ContentWriter &write)
    : shownPath_(path), target_(WriteTarget(path)), temporary_(TemporaryPathFor(target_))
{
    try {
        std::ofstream stream(temporary_, std::ios::binary | std::ios::trunc);
        if (!stream) {
            throw ToolkitError("cannot create " + path.string());
        }
        write(stream);
        stream.flush();
        stream.close();
        if (!stream) {
            throw ToolkitError("cannot write " + path.string());
        }
    } catch (...) {
        RemoveQuietly(temporary_);
        throw;
    }
}

StagedFile::StagedFile(StagedFile &&other) noexcept
    : shownPath_(std::move(other.shownPath_)), target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_))
{
    other.temporary_.clear();
}

StagedFile::~StagedFile()
{
    if (!temporary_.empty()) {
        RemoveQuietly(temporary_);
    }
}

void StagedFile::Commit()
{
    std::error_code error;
    std::filesystem::rename(temporary_, target_, error);
    if (error) {
        throw ToolkitError("cannot rename to " + shownPath_.string() + ": " + error.message());
    }
    temporary_.clear();
}

void WriteFileAtomically(const std::filesystem::path &path, const ContentWriter &write)
{
    if (IsStandardOutput(path)) {
        WriteToStandardOutput(write);
        return;
    }
    StagedFile(path, write).Commit();
}

ContentWriter BytesWriter(const std::vector<std::uint8_t> &bytes)
{
    return [&bytes](std::ostream &stream) {
        stream.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
}

void WriteBytesAtomically(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    WriteFileAtomically(path, BytesWriter(bytes));
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
