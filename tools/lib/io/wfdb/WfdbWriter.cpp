// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/WfdbWriter.h"

#include <ostream>

#include "io/AtomicFile.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

std::filesystem::path WithSuffix(const std::filesystem::path &base, const char *suffix)
{
    std::filesystem::path path = base;
    path += suffix;
    return path;
}

// The header of a record of `samples` samples whose 16-bit sum is `checksum`.
ContentWriter HeaderWriter(const std::string &recordName, const WfdbSignal16 &signal, std::size_t samples,
                           std::uint16_t checksum)
{
    return [=](std::ostream &stream) {
        stream.precision(12);
        stream << recordName << " 1 " << signal.frequency << ' ' << samples << '\n'
               << recordName << ".dat 16 " << signal.gain << '(' << signal.baseline << ")/" << signal.units << " 16 "
               << signal.baseline << " 0 " << static_cast<std::int16_t>(checksum) << " 0 " << signal.description
               << '\n';
    };
}

// Appends `sample` as a little-endian word to `data` and adds it to the
// 16-bit sum readers check.
void PutSample16(int sample, std::vector<std::uint8_t> &data, std::uint16_t &checksum)
{
    if (sample < -32768 || sample > 32767) {
        throw ToolkitError("sample " + std::to_string(sample) + " does not fit format 16");
    }
    const auto word = static_cast<unsigned>(sample) & 0xFFFFu;
    checksum = static_cast<std::uint16_t>(checksum + word);
    data.push_back(static_cast<std::uint8_t>(word & 0xFFu));
    data.push_back(static_cast<std::uint8_t>(word >> 8));
}

}  // namespace

void WriteWfdbRecord16(const std::filesystem::path &base, const WfdbSignal16 &signal, const std::vector<int> &samples)
{
    std::vector<std::uint8_t> data;
    data.reserve(samples.size() * 2u);
    std::uint16_t checksum = 0;
    for (const int sample : samples) {
        PutSample16(sample, data, checksum);
    }
    WriteBytesAtomically(WithSuffix(base, ".dat"), data);
    WriteFileAtomically(WithSuffix(base, ".hea"), HeaderWriter(base.filename().string(), signal, samples.size(), checksum));
}

GrowingWfdbRecord16::GrowingWfdbRecord16(const std::filesystem::path &base, const WfdbSignal16 &signal)
    : header_(WithSuffix(base, ".hea")), signal_(signal), data_(WithSuffix(base, ".dat"))
{
    if (std::filesystem::exists(std::filesystem::symlink_status(header_))) {
        std::filesystem::remove(data_.Path());
        throw ToolkitError(header_.string() + ": exists; not replaced");
    }
    Commit();
}

void GrowingWfdbRecord16::Append(std::span<const std::int16_t> samples)
{
    std::vector<std::uint8_t> data;
    data.reserve(samples.size() * 2u);
    std::uint16_t checksum = checksum_;
    for (const std::int16_t sample : samples) {
        PutSample16(sample, data, checksum);
    }
    data_.Append(data);
    checksum_ = checksum;
}

void GrowingWfdbRecord16::Commit()
{
    const std::size_t samples = Samples();
    try {
        ReplaceFileNow(header_, HeaderWriter(header_.stem().string(), signal_, samples, checksum_));
    } catch (const ToolkitError &) {
        data_.Truncate(2u * committed_);
        checksum_ = committedChecksum_;
        throw;
    }
    committed_ = samples;
    committedChecksum_ = checksum_;
}

}  // namespace qzkit
