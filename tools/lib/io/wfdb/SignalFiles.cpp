// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/SignalFiles.h"

#include <algorithm>
#include <fstream>
#include <map>

#include "io/AtomicFile.h"
#include "io/wfdb/FlacSignals.h"
#include "io/wfdb/SignalFormat.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

// Samples per signal decoded at a time when a FLAC file is counted or skipped.
constexpr std::uint64_t kFlacCountStep = std::uint64_t{1} << 16;

[[noreturn]] void TooShort(const std::filesystem::path &path, const std::string &needs, std::uint64_t offset,
                           std::uint64_t has)
{
    throw ToolkitError(path.string() + ": signal file too short: needs " + needs + " bytes after offset " +
                       std::to_string(offset) + ", has " + std::to_string(has));
}

// Bytes of a regular file; a FIFO, device or directory has no size to check against.
std::uint64_t RegularFileSize(const std::filesystem::path &path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) {
        throw ToolkitError("cannot open " + path.string());
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw ToolkitError(path.string() + ": not a regular file");
    }
    NoteInput(path);
    return std::filesystem::file_size(path);
}

std::vector<std::uint8_t> ReadByteRange(const std::filesystem::path &path, std::uint64_t start, std::uint64_t count)
{
    std::ifstream stream(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(count);
    if (!stream || !stream.seekg(static_cast<std::streamoff>(start)) ||
        !stream.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(count))) {
        throw ToolkitError("cannot read " + path.string());
    }
    return bytes;
}

std::uint64_t Multiply(std::uint64_t a, std::uint64_t b, bool &overflow)
{
    std::uint64_t product = 0;
    overflow = overflow || __builtin_mul_overflow(a, b, &product);
    return product;
}

}  // namespace

SignalFiles::SignalFiles(const WfdbHeader &header, const std::filesystem::path &directory) : header_(header)
{
    GroupSignals(directory);
    const auto declared = static_cast<std::uint64_t>(header_.sampleCount);
    frames_ = declared > 0 ? declared : UINT64_MAX;
    for (Group &group : groups_) {
        group.fileFrames = CheckFileFrames(group);
        frames_ = std::min(frames_, group.fileFrames);
        for (const std::size_t signal : group.members) {
            const auto skew = static_cast<std::uint64_t>(header_.signals[signal].skew);
            frames_ = std::min(frames_, group.fileFrames > skew ? group.fileFrames - skew : 0);
        }
    }
    if (groups_.empty()) {
        frames_ = 0;
    }
}

// Consecutive signals of one file form a group, interleaved frame by frame.
void SignalFiles::GroupSignals(const std::filesystem::path &directory)
{
    for (std::size_t i = 0; i < header_.signals.size(); ++i) {
        const WfdbSignalLine &signal = header_.signals[i];
        const std::filesystem::path path = directory / signal.fileName;
        if (groups_.empty() || groups_.back().path != path) {
            const auto samePath = [&path](const Group &group) { return group.path == path; };
            if (std::any_of(groups_.begin(), groups_.end(), samePath)) {
                throw ToolkitError(header_.recordName + ": the signals of " + signal.fileName +
                                   " are not on consecutive lines");
            }
            Group group;
            group.path = path;
            group.format = signal.format;
            group.byteOffset = static_cast<std::uint64_t>(signal.byteOffset);
            groups_.push_back(std::move(group));
        }
        Group &group = groups_.back();
        if (group.format != signal.format) {
            throw ToolkitError(path.string() + ": signals of one file must share one format");
        }
        if (IsFlacFormat(group.format) && !group.members.empty() &&
            header_.signals[group.members[0]].samplesPerFrame != signal.samplesPerFrame) {
            throw ToolkitError(path.string() + ": signals of a FLAC file must share one number of samples per frame");
        }
        group.members.push_back(i);
        group.firstValues.push_back(group.valuesPerFrame);
        group.valuesPerFrame += static_cast<std::size_t>(signal.samplesPerFrame);
    }
}

std::uint64_t SignalFiles::CheckFileFrames(const Group &group) const
{
    const std::uint64_t size = RegularFileSize(group.path);
    const auto declared = static_cast<std::uint64_t>(header_.sampleCount);
    if (IsFlacFormat(group.format)) {
        return declared > 0 ? declared : CountFlacFrames(group);
    }
    const std::uint64_t available = size > group.byteOffset ? size - group.byteOffset : 0;
    if (declared > 0) {
        bool overflow = false;
        const std::uint64_t values = Multiply(declared, group.valuesPerFrame, overflow);
        const std::optional<std::uint64_t> needed = overflow ? std::nullopt : BytesForValues(group.format, values);
        if (!needed) {
            TooShort(group.path, "more than " + std::to_string(UINT64_MAX), group.byteOffset, available);
        }
        if (*needed > available) {
            TooShort(group.path, std::to_string(*needed), group.byteOffset, available);
        }
    }
    return ValuesInBytes(group.format, available) / group.valuesPerFrame;
}

// Frames [first, first + count) of a group, keeping those from `keepFrom` on
// for the next read. The decoders resume where the last read ended, so a run
// of reads that each start where the last span ended decodes every frame once.
std::vector<std::int32_t> SignalFiles::ReadGroup(Group &group, std::uint64_t first, std::uint64_t count,
                                                 std::uint64_t keepFrom) const
{
    std::vector<std::int32_t> values;
    if (group.keptFrom == first && !group.kept.empty()) {
        values = std::move(group.kept);
        values.resize(std::min<std::uint64_t>(values.size(), count * group.valuesPerFrame));
    }
    group.kept.clear();
    const std::uint64_t decoded = values.size() / group.valuesPerFrame;
    if (decoded < count) {
        const std::vector<std::int32_t> rest = DecodeGroup(group, first + decoded, count - decoded);
        values.insert(values.end(), rest.begin(), rest.end());
    }
    group.keptFrom = keepFrom;
    group.kept.assign(values.begin() + static_cast<std::ptrdiff_t>((keepFrom - first) * group.valuesPerFrame),
                      values.end());
    return values;
}

std::vector<std::int32_t> SignalFiles::DecodeGroup(Group &group, std::uint64_t first, std::uint64_t count) const
{
    return IsFlacFormat(group.format) ? ReadFlac(group, first, count) : ReadPacked(group, first, count);
}

std::vector<std::int32_t> SignalFiles::ReadPacked(Group &group, std::uint64_t first, std::uint64_t count) const
{
    // A difference format is summed from the first frame on, or from where
    // the last read ended.
    const bool difference = IsDifferenceFormat(group.format);
    if (difference && (group.resumeValues.empty() || group.resumeFrame > first)) {
        group.resumeFrame = 0;
        group.resumeValues.clear();
        for (const std::size_t member : group.members) {
            group.resumeValues.push_back(static_cast<std::int32_t>(header_.signals[member].initialValue));
        }
    }
    const std::uint64_t start = difference ? group.resumeFrame : first;
    const Packing packing = PackingOf(group.format);
    const std::uint64_t firstValue = start * group.valuesPerFrame;
    const std::uint64_t skipped = firstValue % packing.values;
    const std::uint64_t wanted = (first + count - start) * group.valuesPerFrame;
    const std::uint64_t byteStart = group.byteOffset + firstValue / packing.values * packing.bytes;
    const std::vector<std::uint8_t> bytes =
        ReadByteRange(group.path, byteStart, BytesForValues(group.format, skipped + wanted).value_or(0));
    std::vector<std::int32_t> values(skipped + wanted);
    DecodeValues(group.format, bytes.data(), values.size(), values.data());
    values.erase(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(skipped));
    if (difference) {
        for (std::size_t member = 0; member < group.members.size(); ++member) {
            const WfdbSignalLine &signal = header_.signals[group.members[member]];
            std::int32_t &previous = group.resumeValues[member];
            for (std::size_t frame = 0; frame < values.size() / group.valuesPerFrame; ++frame) {
                std::int32_t *sample = values.data() + frame * group.valuesPerFrame + group.firstValues[member];
                for (int j = 0; j < signal.samplesPerFrame; ++j, ++sample) {
                    previous = static_cast<std::int32_t>(static_cast<std::uint32_t>(previous) +
                                                         static_cast<std::uint32_t>(*sample));
                    *sample = previous;
                }
            }
        }
        group.resumeFrame = first + count;
        values.erase(values.begin(),
                     values.begin() + static_cast<std::ptrdiff_t>((first - start) * group.valuesPerFrame));
    }
    return values;
}

std::uint64_t SignalFiles::CountFlacFrames(const Group &group) const
{
    const auto perFrame = static_cast<std::uint64_t>(header_.signals[group.members[0]].samplesPerFrame);
    FlacSignals stream(group.path, group.byteOffset, static_cast<unsigned>(group.members.size()));
    while (stream.Next(kFlacCountStep)[0].size() == kFlacCountStep) {
    }
    return stream.Position() / perFrame;
}

std::vector<std::int32_t> SignalFiles::ReadFlac(Group &group, std::uint64_t first, std::uint64_t count) const
{
    const auto perFrame = static_cast<std::uint64_t>(header_.signals[group.members[0]].samplesPerFrame);
    const std::uint64_t skip = first * perFrame;
    const std::uint64_t wanted = count * perFrame;
    if (!group.flac || group.flac->Position() > skip) {
        group.flac = std::make_shared<FlacSignals>(group.path, group.byteOffset,
                                                   static_cast<unsigned>(group.members.size()));
    }
    while (group.flac->Position() < skip &&
           !group.flac->Next(std::min(skip - group.flac->Position(), kFlacCountStep))[0].empty()) {
    }
    const std::vector<std::vector<std::int32_t>> channels = group.flac->Next(wanted);
    if (group.flac->Position() < skip + wanted) {
        throw ToolkitError(group.path.string() + ": FLAC data ends after " + std::to_string(group.flac->Position()) +
                           " samples per signal, the header names " + std::to_string(skip + wanted));
    }
    std::vector<std::int32_t> values(count * group.valuesPerFrame);
    for (std::size_t member = 0; member < channels.size(); ++member) {
        for (std::uint64_t frame = 0; frame < count; ++frame) {
            const std::uint64_t target = frame * group.valuesPerFrame + group.firstValues[member];
            std::copy_n(channels[member].begin() + static_cast<std::ptrdiff_t>(frame * perFrame), perFrame,
                        values.begin() + static_cast<std::ptrdiff_t>(target));
        }
    }
    return values;
}

const SignalFiles::Group &SignalFiles::GroupOf(std::size_t signal, std::size_t &member) const
{
    for (const Group &group : groups_) {
        const auto found = std::find(group.members.begin(), group.members.end(), signal);
        if (found != group.members.end()) {
            member = static_cast<std::size_t>(found - group.members.begin());
            return group;
        }
    }
    throw ToolkitError(header_.recordName + ": no signal " + std::to_string(signal));
}

std::vector<SignalSamples> SignalFiles::Read(const std::vector<std::size_t> &signals, std::uint64_t from,
                                             std::uint64_t to, std::vector<std::string> &warnings) const
{
    // Each file is read once, as far as its most skewed wanted signal needs.
    std::map<const Group *, std::uint64_t> reach;
    for (const std::size_t signal : signals) {
        std::size_t member = 0;
        const Group *group = &GroupOf(signal, member);
        reach[group] = std::max(reach[group], static_cast<std::uint64_t>(header_.signals[signal].skew));
    }
    std::map<const Group *, std::vector<std::int32_t>> streams;
    for (Group &group : groups_) {
        if (const auto found = reach.find(&group); found != reach.end()) {
            const std::uint64_t end = std::min(to + found->second, group.fileFrames);
            streams[&group] = ReadGroup(group, from, end - from, std::min(to, end));
        }
    }
    const bool whole = from == 0 && header_.sampleCount > 0 && to == static_cast<std::uint64_t>(header_.sampleCount);
    std::vector<SignalSamples> result;
    for (const std::size_t signal : signals) {
        std::size_t member = 0;
        const Group &group = GroupOf(signal, member);
        const WfdbSignalLine &entry = header_.signals[signal];
        const auto perFrame = static_cast<std::size_t>(entry.samplesPerFrame);
        const std::vector<std::int32_t> &stream = streams[&group];
        SignalSamples samples;
        samples.values.resize((to - from) * perFrame);
        for (std::uint64_t frame = 0; frame < to - from; ++frame) {
            const std::uint64_t position =
                (frame + static_cast<std::uint64_t>(entry.skew)) * group.valuesPerFrame + group.firstValues[member];
            const auto source = stream.begin() + static_cast<std::ptrdiff_t>(position);
            std::copy_n(source, perFrame, samples.values.begin() + static_cast<std::ptrdiff_t>(frame * perFrame));
        }
        if (whole && entry.checksum) {
            std::uint32_t sum = 0;
            for (const std::int32_t value : samples.values) sum += static_cast<std::uint32_t>(value);
            const auto expected = static_cast<std::uint16_t>(*entry.checksum);
            if (static_cast<std::uint16_t>(sum) != expected) {
                warnings.push_back(group.path.string() + ": checksum of signal " + std::to_string(signal) + " is " +
                                   std::to_string(static_cast<std::int16_t>(sum)) + ", the header says " +
                                   std::to_string(static_cast<std::int16_t>(expected)));
            }
        }
        result.push_back(std::move(samples));
    }
    return result;
}

}  // namespace qzkit
