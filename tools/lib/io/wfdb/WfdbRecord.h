// SPDX-License-Identifier: Apache-2.0
// A WFDB record as one list of signals over one run of frames, whether it is
// stored in one segment or in several (fixed or variable layout, with null
// segments and signals missing from a segment as gaps).
#ifndef QZKIT_WFDB_RECORD_H
#define QZKIT_WFDB_RECORD_H

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/wfdb/SignalFiles.h"
#include "io/wfdb/WfdbHeader.h"

namespace qzkit {

struct FrameSpan {
    std::uint64_t from = 0;
    std::uint64_t to = 0;  // exclusive
};

struct RecordGap {
    FrameSpan frames;
    std::vector<std::size_t> signals;  // the signals without data there
    std::string reason;                // "null segment", "segment NAME absent", "not in segment NAME"
};

// The most samples one read holds (about 1 GiB of values), so that a header
// that claims more fails with a message instead of exhausting memory.
inline constexpr std::uint64_t kMostValuesRead = std::uint64_t{1} << 28;

class WfdbRecord {
public:
    // `record` is the header (.hea) or the record's name beside it. Reads the
    // header and checks the record whole: for a multi-segment record, every
    // segment that is here against the layout (its rate, signals, samples per
    // frame and the frames its files hold), the total against the segments,
    // and the segment names. Throws ToolkitError naming the cause.
    explicit WfdbRecord(const std::filesystem::path &record);

    const std::string &Name() const { return header_.recordName; }
    double FrameRate() const { return header_.frequency; }
    std::uint64_t Frames() const { return frames_; }
    std::size_t SegmentCount() const { return segments_.empty() ? 1 : segments_.size(); }
    const std::vector<WfdbSignalLine> &Signals() const { return signals_; }
    const std::filesystem::path &HeaderPath() const { return headerPath_; }

    // Where signals have no data: null segments (every signal), segments
    // whose header is absent (every signal), and the signals a segment of a
    // variable layout does not hold.
    std::vector<RecordGap> Gaps() const;

    // Every sample of `signals` in frames [from, to), to <= Frames().
    // Checksum mismatches go to `warnings`. A span of more than
    // kMostValuesRead samples of the record's signals, or memory that cannot
    // be had, is a ToolkitError naming the record.
    std::vector<SignalSamples> Read(const std::vector<std::size_t> &signals, FrameSpan span,
                                    std::vector<std::string> &warnings) const;

private:
    struct Segment {
        std::string name;
        std::uint64_t start = 0;
        std::uint64_t frames = 0;
    };

    void ReadLayout();
    std::vector<SignalSamples> ReadSpan(const std::vector<std::size_t> &signals, FrameSpan span,
                                        std::vector<std::string> &warnings) const;
    const SignalFiles &FilesOf(const std::string &segment, const WfdbHeader &header) const;
    bool SegmentPresent(const std::string &name) const;
    WfdbHeader SegmentHeader(const std::string &name) const;
    void CheckSegment(const Segment &segment) const;
    std::optional<std::size_t> IndexInSegment(const WfdbHeader &segment, std::size_t signal) const;
    void ReadSegment(const Segment &segment, const std::vector<std::size_t> &signals, FrameSpan span,
                     std::vector<SignalSamples> &out, std::vector<std::string> &warnings) const;

    std::filesystem::path headerPath_;
    WfdbHeader header_;
    std::vector<WfdbSignalLine> signals_;
    std::vector<Segment> segments_;
    bool variableLayout_ = false;
    std::uint64_t frames_ = 0;
    // The signal files read last (one segment's), kept so that reading on
    // where the last read ended does not start the files again.
    mutable std::string openSegment_;
    mutable std::shared_ptr<SignalFiles> openFiles_;
};

// The header of a record given as its .hea file or its name.
inline constexpr const char *kWfdbHeaderExtension = ".hea";
std::filesystem::path WfdbHeaderPath(const std::filesystem::path &record);

// The signals' descriptions, for choosing one by name.
std::vector<std::string> SignalNames(const WfdbRecord &record);

// A digital value in the signal's physical units.
inline double PhysicalValue(std::int32_t value, const WfdbSignalLine &signal)
{
    return (static_cast<double>(value) - signal.baseline) / signal.gain;
}

// One value per frame: the mean of the frame's samples, truncated toward
// zero as the WFDB package does; missing where any sample of the frame is.
SignalSamples FrameMeans(const SignalSamples &samples, int samplesPerFrame);

}  // namespace qzkit

#endif
