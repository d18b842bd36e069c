// SPDX-License-Identifier: Apache-2.0
// The two file operations over an in-memory file table, with the same log
// line and the same whole-unit counting as the stdio pair.
#include <algorithm>
#include <iterator>
#include <cstring>
#include <map>

#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_MemoryFiles.h>

#include "TransferLog.h"

namespace qz {

namespace {

struct FileTable {
    std::map<std::string, std::vector<std::uint8_t>> files;
    bool discardWrites = false;
};

FileTable &Table()
{
    static FileTable table;
    return table;
}

std::size_t RequestedBytes(int length, std::size_t unitSize)
{
    return length > 0 ? static_cast<std::size_t>(length) * unitSize : 0u;
}

}  // namespace

namespace memfiles {

void Clear()
{
    Table().files.clear();
    Table().discardWrites = false;
}

void SetFile(const std::string &name, std::vector<std::uint8_t> bytes)
{
    Table().files[name] = std::move(bytes);
}

const std::vector<std::uint8_t> *GetFile(const std::string &name)
{
    const auto found = Table().files.find(name);
    return found == Table().files.end() ? nullptr : &found->second;
}

std::vector<std::string> FileNames()
{
    std::vector<std::string> names;
    std::transform(Table().files.begin(), Table().files.end(), std::back_inserter(names),
                   [](const auto &file) { return file.first; });
    return names;
}

void SetDiscardWrites(bool discard)
{
    Table().discardWrites = discard;
}

}  // namespace memfiles

int hlp_readBinaryDataFile(const char *filename, const char *extension, void *databuffer, int length,
                           size_t unitSize)
{
    LogTransfer("Reading", &databuffer, unitSize, length, filename, extension);
    const auto *file = memfiles::GetFile(std::string(filename) + extension);
    if (file == nullptr || unitSize == 0u) {
        return 0;
    }
    const std::size_t bytes = std::min(RequestedBytes(length, unitSize), file->size() / unitSize * unitSize);
    if (bytes > 0u) {
        std::memcpy(databuffer, file->data(), bytes);
    }
    return static_cast<int>(bytes / unitSize);
}

int hlp_writeBinaryDataFile(const char *filename, const char *extension, const void *databuffer, int length,
                            size_t unitSize)
{
    LogTransfer("Writing", &databuffer, unitSize, length, filename, extension);
    if (Table().discardWrites) {
        return length > 0 ? length : 0;
    }
    const auto *source = static_cast<const std::uint8_t *>(databuffer);
    memfiles::SetFile(std::string(filename) + extension,
                      std::vector<std::uint8_t>(source, source + RequestedBytes(length, unitSize)));
    return length > 0 ? length : 0;
}

}  // namespace qz
