// SPDX-License-Identifier: Apache-2.0
#include "io/EdfRecording.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <edflib.h>

#include "io/EdfHeaderCheck.h"
#include "io/FileBytes.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr double kTicksPerSecond = 10'000'000.0;  // EDFlib times are in units of 100 ns
constexpr long long kChunk = 1 << 16;

std::string Trimmed(const char *text)
{
    std::string value(text);
    value.erase(value.find_last_not_of(' ') + 1);
    return value;
}

std::string OpenError(int code)
{
    switch (code) {
    case EDFLIB_MALLOC_ERROR:
        return "out of memory";
    case EDFLIB_NO_SUCH_FILE_OR_DIRECTORY:
        return "cannot open file";
    case EDFLIB_MAXFILES_REACHED:
        return "too many open files";
    case EDFLIB_FILE_READ_ERROR:
        return "read error";
    case EDFLIB_FILE_ALREADY_OPENED:
        return "file already open";
    default:
        return "cannot read file (EDFlib error " + std::to_string(code) + ")";
    }
}

// Closes the file when reading ends, also on an exception.
struct EdfHandle {
    int handle;
    ~EdfHandle() { edfclose_file(handle); }
};

}  // namespace

Recording ReadEdfRecording(const std::filesystem::path &path, const std::string &channel)
{
    // Read first: a size must be known, and the header tells what EDFlib may refuse.
    const std::vector<std::uint8_t> head = ReadFileBytes(path, kEdfLargestHeader);
    // The header record is large (hundreds of signal descriptions): keep it off the stack.
    auto header = std::make_unique<edf_hdr_struct>();
    if (edfopen_file_readonly(path.c_str(), header.get(), EDFLIB_DO_NOT_READ_ANNOTATIONS) != 0) {
        const bool formatError = header->filetype == EDFLIB_FILE_CONTAINS_FORMAT_ERRORS ||
                                 header->filetype == EDFLIB_FILE_READ_ERROR;
        throw ToolkitError(path.string() + ": " +
                           (formatError ? DescribeEdfProblem(head, std::filesystem::file_size(path))
                                        : OpenError(header->filetype)));
    }
    const EdfHandle file{header->handle};
    std::vector<std::string> labels;
    for (int i = 0; i < header->edfsignals; ++i) {
        labels.push_back(Trimmed(header->signalparam[i].label));
    }
    const std::size_t chosen = ChooseChannel(labels, channel);
    const edf_param_struct &signal = header->signalparam[chosen];
    if (header->datarecord_duration <= 0 || signal.smp_in_datarecord <= 0) {
        throw ToolkitError(path.string() + ": signal '" + labels[chosen] + "' has no sampling rate");
    }

    Recording recording;
    recording.rate = signal.smp_in_datarecord / (static_cast<double>(header->datarecord_duration) / kTicksPerSecond);
    recording.units = Trimmed(signal.physdimension);
    recording.channelName = labels[chosen];
    recording.samples.resize(static_cast<std::size_t>(signal.smp_in_file));
    const int edfSignal = static_cast<int>(chosen);
    for (long long done = 0; done < signal.smp_in_file;) {
        const int wanted = static_cast<int>(std::min(kChunk, signal.smp_in_file - done));
        const int got = edfread_physical_samples(file.handle, edfSignal, wanted,
                                                 recording.samples.data() + static_cast<std::size_t>(done));
        if (got != wanted) {
            throw ToolkitError(path.string() + ": read error in signal '" + labels[chosen] + "'");
        }
        done += got;
    }
    return recording;
}

}  // namespace qzkit
