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

class EdfChannel : public ChannelReader {
public:
    EdfChannel(const std::filesystem::path &path, const std::string &channel);

    long long Samples() const { return samples_; }
    std::size_t Read(std::span<double> samples) override;

private:
    // Closes the file when reading ends, also when opening fails half-way.
    struct Handle {
        int id = -1;
        Handle() = default;
        Handle(const Handle &) = delete;
        Handle &operator=(const Handle &) = delete;
        ~Handle()
        {
            if (id >= 0) {
                edfclose_file(id);
            }
        }
    };

    std::filesystem::path path_;
    Handle handle_;
    int signal_ = 0;
    long long samples_ = 0;
    long long done_ = 0;
};

EdfChannel::EdfChannel(const std::filesystem::path &path, const std::string &channel) : path_(path)
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
    handle_.id = header->handle;
    std::vector<std::string> labels;
    labels.reserve(static_cast<std::size_t>(std::max(header->edfsignals, 0)));
    for (int i = 0; i < header->edfsignals; ++i) {
        labels.push_back(Trimmed(header->signalparam[i].label));
    }
    const std::size_t chosen = ChooseChannel(labels, channel);
    const edf_param_struct &signal = header->signalparam[chosen];
    if (header->datarecord_duration <= 0 || signal.smp_in_datarecord <= 0) {
        throw ToolkitError(path.string() + ": signal '" + labels[chosen] + "' has no sampling rate");
    }
    description_.rate =
        signal.smp_in_datarecord / (static_cast<double>(header->datarecord_duration) / kTicksPerSecond);
    description_.units = Trimmed(signal.physdimension);
    description_.channelName = labels[chosen];
    signal_ = static_cast<int>(chosen);
    samples_ = signal.smp_in_file;
}

std::size_t EdfChannel::Read(std::span<double> samples)
{
    std::size_t filled = 0;
    while (filled < samples.size() && done_ < samples_) {
        const auto room = static_cast<long long>(samples.size() - filled);
        const int wanted = static_cast<int>(std::min({kChunk, samples_ - done_, room}));
        const int got = edfread_physical_samples(handle_.id, signal_, wanted, samples.data() + filled);
        if (got != wanted) {
            throw ToolkitError(path_.string() + ": read error in signal '" + description_.channelName + "'");
        }
        done_ += got;
        filled += static_cast<std::size_t>(got);
    }
    return filled;
}

}  // namespace

std::unique_ptr<ChannelReader> OpenEdfChannel(const std::filesystem::path &path, const std::string &channel)
{
    return std::make_unique<EdfChannel>(path, channel);
}

Recording ReadEdfRecording(const std::filesystem::path &path, const std::string &channel)
{
    EdfChannel reader(path, channel);
    Recording recording = reader.Description();
    recording.samples.resize(static_cast<std::size_t>(reader.Samples()));
    reader.Read(recording.samples);
    return recording;
}

}  // namespace qzkit
