#include "io/AtomicFile.h"

#include <atomic>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

#include "ToolkitError.h"

namespace qzkit {
namespace {

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

}  // namespace

void WriteFileAtomically(const std::filesystem::path &path, const std::function<void(std::ostream &)> &write)
{
    const std::filesystem::path temporary = TemporaryPathFor(path);
    try {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        if (!stream) {
            throw ToolkitError("cannot create " + path.string());
        }
        write(stream);
        stream.flush();
        stream.close();
        if (!stream) {
            throw ToolkitError("cannot write " + path.string());
        }
        std::error_code error;
        std::filesystem::rename(temporary, path, error);
        if (error) {
            throw ToolkitError("cannot rename to " + path.string() + ": " + error.message());
        }
    } catch (...) {
        RemoveQuietly(temporary);
        throw;
    }
}

void WriteBytesAtomically(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    WriteFileAtomically(path, [&bytes](std::ostream &stream) {
        stream.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    });
}

}  // namespace qzkit
