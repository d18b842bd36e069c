// SPDX-License-Identifier: Apache-2.0
// The signal files of a single-segment record: which signals share a file,
// how many frames every signal has data for, and reading a span of frames.
#ifndef QZKIT_WFDB_SIGNAL_FILES_H
#define QZKIT_WFDB_SIGNAL_FILES_H

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "io/wfdb/WfdbHeader.h"

namespace qzkit {

class FlacSignals;

// Every sample of a signal over a span of frames (its samples per frame
// each), digital; `missing` marks samples with no data (empty: none).
struct SignalSamples {
    std::vector<std::int32_t> values;
    std::vector<bool> missing;
};

class SignalFiles {
public:
    // Checks every signal file against the header: a file must be a regular
    // file and hold the frames the header names. Throws ToolkitError.
    SignalFiles(const WfdbHeader &header, const std::filesystem::path &directory);

    // Frames for which every signal has data (a skewed signal ends early).
    std::uint64_t Frames() const { return frames_; }

    // The samples of `signals` (indices into the header's) in frames
    // [from, to), to <= Frames(). When the span is the whole record, each
    // signal's checksum is compared and a mismatch added to `warnings`.
    std::vector<SignalSamples> Read(const std::vector<std::size_t> &signals, std::uint64_t from, std::uint64_t to,
                                    std::vector<std::string> &warnings) const;

private:
    struct Group {
        std::filesystem::path path;
        int format = 0;
        std::uint64_t byteOffset = 0;
        std::vector<std::size_t> members;      // signal indices
        std::vector<std::size_t> firstValues;  // where each member's values start in a frame
        std::size_t valuesPerFrame = 0;
        std::uint64_t fileFrames = 0;
        // Where the last read ended, so that reading on from there decodes
        // only what is new: the FLAC decoder, and for a difference format
        // the running value of each member after `resumeFrame` frames.
        std::shared_ptr<FlacSignals> flac;
        std::uint64_t resumeFrame = 0;
        std::vector<std::int32_t> resumeValues;
        // The frames a read decoded past the caller's span (for a skewed
        // signal), from `keptFrom` on: the next read starts there and decodes
        // only the frames after them.
        std::uint64_t keptFrom = 0;
        std::vector<std::int32_t> kept;
    };

    void GroupSignals(const std::filesystem::path &directory);
    std::uint64_t CheckFileFrames(const Group &group) const;
    std::uint64_t CountFlacFrames(const Group &group) const;
    std::vector<std::int32_t> ReadGroup(Group &group, std::uint64_t first, std::uint64_t count,
                                        std::uint64_t keepFrom) const;
    std::vector<std::int32_t> DecodeGroup(Group &group, std::uint64_t first, std::uint64_t count) const;
    std::vector<std::int32_t> ReadPacked(Group &group, std::uint64_t first, std::uint64_t count) const;
    std::vector<std::int32_t> ReadFlac(Group &group, std::uint64_t first, std::uint64_t count) const;
    const Group &GroupOf(std::size_t signal, std::size_t &member) const;

    WfdbHeader header_;
    mutable std::vector<Group> groups_;  // reading moves each group's resume point
    std::uint64_t frames_ = 0;
};

}  // namespace qzkit

#endif
