// SPDX-License-Identifier: Apache-2.0
// The workbench page's way into the tool: the page puts the input files into
// the in-memory file table, runs the command-line driver on an argument list
// exactly as the desktop tool is started, and reads back what the run printed
// (through the page's standard output) and every file the table then holds.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <qz_vozozi_DE/Driver.h>
#include <qz_vozozi_DE/QZ_MemoryFiles.h>

namespace {

// The names of the last listing, kept so their text outlives the call.
std::vector<std::string> &Listing()
{
    static std::vector<std::string> names;
    return names;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void qzw_clear_files()
{
    qz::memfiles::Clear();
}

EMSCRIPTEN_KEEPALIVE void qzw_set_file(const char *name, const std::uint8_t *bytes, int length)
{
    qz::memfiles::SetFile(name, std::vector<std::uint8_t>(bytes, bytes + (length > 0 ? length : 0)));
}

// Number of files held; their names are then read with qzw_listed_name.
EMSCRIPTEN_KEEPALIVE int qzw_list_files()
{
    Listing() = qz::memfiles::FileNames();
    return static_cast<int>(Listing().size());
}

EMSCRIPTEN_KEEPALIVE const char *qzw_listed_name(int index)
{
    return Listing().at(static_cast<std::size_t>(index)).c_str();
}

// Size in bytes of the file, -1 when there is none.
EMSCRIPTEN_KEEPALIVE int qzw_file_size(const char *name)
{
    const auto *file = qz::memfiles::GetFile(name);
    return file == nullptr ? -1 : static_cast<int>(file->size());
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t *qzw_file_data(const char *name)
{
    const auto *file = qz::memfiles::GetFile(name);
    return file == nullptr ? nullptr : file->data();
}

// One start of the tool from its program-start state; returns its exit status.
EMSCRIPTEN_KEEPALIVE int qzw_run_tool(int argc, char **argv)
{
    qz::QZ_ResetDriverState();
    const int status = qz::QZ_RunDriver(argc, argv);
    std::fflush(stdout);
    return status;
}

}  // extern "C"
