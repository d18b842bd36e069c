// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/WfdbRecord.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <set>
#include <system_error>

#include "io/AtomicFile.h"
#include "io/wfdb/SignalFormat.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

bool SameRate(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(a, b);
}

// Digital values of a segment's signal on the layout's scale, as the WFDB
// package maps them when the segment's gain or baseline differs; an invalid
// sample becomes the layout's invalid value.
void MapToLayout(std::int32_t *values, std::size_t count, const WfdbSignalLine &segment, const WfdbSignalLine &layout)
{
    const std::optional<std::int32_t> invalid = InvalidValue(segment.format);
    const std::int32_t layoutInvalid = InvalidValue(layout.format).value_or(kLayoutInvalid);
    const bool rescale = segment.gain != layout.gain || segment.baseline != layout.baseline;
    const double scale = layout.gain / segment.gain;
    for (std::size_t i = 0; i < count; ++i) {
        if (values[i] == invalid) {
            values[i] = layoutInvalid;
        } else if (rescale) {
            const double mapped = std::round((values[i] - segment.baseline) * scale + layout.baseline);
            values[i] = static_cast<std::int32_t>(std::clamp(mapped, double{INT32_MIN}, double{INT32_MAX}));
        }
    }
}

// The files beside the header named after the record (its signal files and
// annotations, whatever the annotator's name) are inputs a run may not
// replace; tables are not among them, being what a run writes beside a record.
void NoteRecordFiles(const std::filesystem::path &headerPath, const std::string &name)
{
    static const std::set<std::string> kTables{".csv", ".tsv", ".txt"};
    const std::filesystem::path directory = headerPath.parent_path().empty() ? "." : headerPath.parent_path();
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::filesystem::path file = entry->path().filename();
        if (file.stem() == name && kTables.count(file.extension().string()) == 0) {
            NoteInput(headerPath.parent_path() / file);
        }
    }
}

// A name that stays in the record's directory.
bool IsPlainName(const std::string &name)
{
    return !name.empty() && name.front() != '.' && name.find_first_of("/\\") == std::string::npos;
}

}  // namespace

std::filesystem::path WfdbHeaderPath(const std::filesystem::path &record)
{
    if (record.extension() == kWfdbHeaderExtension) {
        return record;
    }
    std::filesystem::path header = record;
    header += kWfdbHeaderExtension;
    return header;
}

WfdbRecord::WfdbRecord(const std::filesystem::path &record)
    : headerPath_(WfdbHeaderPath(record)), header_(ReadWfdbHeader(headerPath_))
{
    NoteRecordFiles(headerPath_, header_.recordName);
    if (header_.IsMultiSegment()) {
        ReadLayout();
    } else {
        signals_ = header_.signals;
        frames_ = FilesOf(header_.recordName, header_).Frames();
    }
}

// The whole verdict on a multi-segment record is given here, when it is
// opened, so that describing it and reading it agree: every segment that is
// present is checked against the layout (a segment whose header is absent is
// a gap of every signal).
void WfdbRecord::ReadLayout()
{
    std::uint64_t start = 0;
    for (const WfdbSegmentLine &entry : header_.segments) {
        const auto frames = static_cast<std::uint64_t>(entry.frames);
        if (entry.name != kNullSegment && !IsPlainName(entry.name)) {
            throw ToolkitError(headerPath_.string() + ": segment name '" + entry.name +
                               "' is not a file name beside the record");
        }
        segments_.push_back({entry.name, start, frames});
        if (__builtin_add_overflow(start, frames, &start)) {
            throw ToolkitError(headerPath_.string() + ": segment lengths overflow");
        }
    }
    frames_ = start;
    if (header_.sampleCount > 0 && static_cast<std::uint64_t>(header_.sampleCount) != frames_) {
        throw ToolkitError(headerPath_.string() + ": the record has " + std::to_string(header_.sampleCount) +
                           " frames, its segments " + std::to_string(frames_));
    }
    if (frames_ == 0) {
        throw ToolkitError(headerPath_.string() + ": no segment holds frames");
    }
    const Segment &first = segments_.front();
    variableLayout_ = first.frames == 0 && first.name != kNullSegment;
    const auto described = std::find_if(segments_.begin(), segments_.end(), [this](const Segment &segment) {
        return segment.name != kNullSegment && SegmentPresent(segment.name);
    });
    if (described == segments_.end()) {
        throw ToolkitError(headerPath_.string() + ": no segment that is here describes the signals");
    }
    signals_ = SegmentHeader(described->name).signals;
    if (signals_.size() != header_.signalCount) {
        throw ToolkitError(headerPath_.string() + ": segment " + described->name + " has " +
                           std::to_string(signals_.size()) + " signals, the record " +
                           std::to_string(header_.signalCount));
    }
    for (const Segment &segment : segments_) {
        if (segment.name != kNullSegment && segment.frames > 0 && SegmentPresent(segment.name)) {
            CheckSegment(segment);
        }
    }
}

bool WfdbRecord::SegmentPresent(const std::string &name) const
{
    return std::filesystem::exists(headerPath_.parent_path() / (name + ".hea"));
}

WfdbHeader WfdbRecord::SegmentHeader(const std::string &name) const
{
    const std::filesystem::path path = headerPath_.parent_path() / (name + ".hea");
    WfdbHeader header = ReadWfdbHeader(path);
    if (header.IsMultiSegment()) {
        throw ToolkitError(path.string() + ": a segment cannot itself have segments");
    }
    if (!SameRate(header.frequency, header_.frequency)) {
        throw ToolkitError(path.string() + ": frame rate " + std::to_string(header.frequency) +
                           " disagrees with the record's " + std::to_string(header_.frequency));
    }
    return header;
}

// A segment holds the frames the layout gives it, and its signals have the
// layout's samples per frame (in a fixed layout, the layout's signals).
void WfdbRecord::CheckSegment(const Segment &segment) const
{
    const WfdbHeader header = SegmentHeader(segment.name);
    const std::string source = (headerPath_.parent_path() / (segment.name + ".hea")).string();
    if (!variableLayout_ && header.signals.size() != signals_.size()) {
        throw ToolkitError(source + ": has " + std::to_string(header.signals.size()) +
                           " signals, the record's fixed layout " + std::to_string(signals_.size()));
    }
    for (std::size_t s = 0; s < signals_.size(); ++s) {
        const std::optional<std::size_t> index = IndexInSegment(header, s);
        if (index && header.signals[*index].samplesPerFrame != signals_[s].samplesPerFrame) {
            throw ToolkitError(source + ": signal " + signals_[s].description + " has " +
                               std::to_string(header.signals[*index].samplesPerFrame) +
                               " samples per frame, the layout " + std::to_string(signals_[s].samplesPerFrame));
        }
    }
    const std::uint64_t held = FilesOf(segment.name, header).Frames();
    if (held < segment.frames) {
        throw ToolkitError(source + ": the segment holds " + std::to_string(held) + " frames, the record gives it " +
                           std::to_string(segment.frames));
    }
}

// Where the record's signal `signal` is in a segment: the same position in a
// fixed layout, the signal of the same description in a variable one.
std::optional<std::size_t> WfdbRecord::IndexInSegment(const WfdbHeader &segment, std::size_t signal) const
{
    if (!variableLayout_) {
        return signal;
    }
    const auto sameName = [this, signal](const WfdbSignalLine &s) { return s.description == signals_[signal].description; };
    const auto found = std::find_if(segment.signals.begin(), segment.signals.end(), sameName);
    if (found == segment.signals.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - segment.signals.begin());
}

const SignalFiles &WfdbRecord::FilesOf(const std::string &segment, const WfdbHeader &header) const
{
    if (!openFiles_ || openSegment_ != segment) {
        openFiles_ = std::make_shared<SignalFiles>(header, headerPath_.parent_path());
        openSegment_ = segment;
    }
    return *openFiles_;
}

std::vector<RecordGap> WfdbRecord::Gaps() const
{
    std::vector<std::size_t> all(signals_.size());
    for (std::size_t s = 0; s < all.size(); ++s) all[s] = s;
    std::vector<RecordGap> gaps;
    for (const Segment &segment : segments_) {
        const FrameSpan frames{segment.start, segment.start + segment.frames};
        if (segment.frames == 0) {
            continue;
        }
        if (segment.name == kNullSegment) {
            gaps.push_back({frames, all, "null segment"});
        } else if (!SegmentPresent(segment.name)) {
            gaps.push_back({frames, all, "segment " + segment.name + " absent"});
        } else if (variableLayout_) {
            const WfdbHeader header = SegmentHeader(segment.name);
            RecordGap gap{frames, {}, "not in segment " + segment.name};
            for (std::size_t s = 0; s < signals_.size(); ++s) {
                if (!IndexInSegment(header, s)) {
                    gap.signals.push_back(s);
                }
            }
            if (!gap.signals.empty()) {
                gaps.push_back(gap);
            }
        }
    }
    return gaps;
}

std::vector<SignalSamples> WfdbRecord::Read(const std::vector<std::size_t> &signals, FrameSpan span,
                                            std::vector<std::string> &warnings) const
{
    std::uint64_t valuesPerFrame = 0;
    for (const WfdbSignalLine &signal : signals_) {
        valuesPerFrame += static_cast<std::uint64_t>(signal.samplesPerFrame);
    }
    std::uint64_t values = 0;
    if (__builtin_mul_overflow(span.to - std::min(span.from, span.to), valuesPerFrame, &values) ||
        values > kMostValuesRead) {
        throw ToolkitError(headerPath_.string() + ": reading frames " + std::to_string(span.from) + " to " +
                           std::to_string(span.to) + " would hold more than " + std::to_string(kMostValuesRead) +
                           " samples at once (" + std::to_string(valuesPerFrame) + " per frame)");
    }
    try {
        return ReadSpan(signals, span, warnings);
    } catch (const std::bad_alloc &) {
        throw ToolkitError(headerPath_.string() + ": not enough memory to read frames " + std::to_string(span.from) +
                           " to " + std::to_string(span.to) + " of " + std::to_string(signals.size()) + " signals");
    }
}

std::vector<SignalSamples> WfdbRecord::ReadSpan(const std::vector<std::size_t> &signals, FrameSpan span,
                                                std::vector<std::string> &warnings) const
{
    if (span.from > span.to || span.to > frames_) {
        throw ToolkitError(headerPath_.string() + ": frames " + std::to_string(span.from) + " to " +
                           std::to_string(span.to) + " are outside the record's " + std::to_string(frames_));
    }
    for (const std::size_t signal : signals) {
        if (signal >= signals_.size()) {
            throw ToolkitError(headerPath_.string() + ": no signal " + std::to_string(signal));
        }
    }
    if (segments_.empty()) {
        return FilesOf(header_.recordName, header_).Read(signals, span.from, span.to, warnings);
    }
    std::vector<SignalSamples> out(signals.size());
    for (std::size_t k = 0; k < signals.size(); ++k) {
        const auto perFrame = static_cast<std::size_t>(signals_[signals[k]].samplesPerFrame);
        const std::size_t count = (span.to - span.from) * perFrame;
        out[k].values.assign(count, 0);
        out[k].missing.assign(count, true);
    }
    // A segment of no frames adds nothing and is never opened, as when the
    // record was checked.
    for (const Segment &segment : segments_) {
        if (segment.name != kNullSegment && segment.frames > 0 && segment.start < span.to &&
            segment.start + segment.frames > span.from) {
            ReadSegment(segment, signals, span, out, warnings);
        }
    }
    for (SignalSamples &samples : out) {
        if (std::none_of(samples.missing.begin(), samples.missing.end(), [](bool missing) { return missing; })) {
            samples.missing.clear();
        }
    }
    return out;
}

void WfdbRecord::ReadSegment(const Segment &segment, const std::vector<std::size_t> &signals, FrameSpan span,
                             std::vector<SignalSamples> &out, std::vector<std::string> &warnings) const
{
    if (!SegmentPresent(segment.name)) {
        return;  // a gap
    }
    const WfdbHeader header = SegmentHeader(segment.name);
    std::vector<std::size_t> wanted;  // indices into `signals` with data in this segment
    std::vector<std::size_t> inSegment;
    for (std::size_t k = 0; k < signals.size(); ++k) {
        if (const std::optional<std::size_t> index = IndexInSegment(header, signals[k])) {
            wanted.push_back(k);
            inSegment.push_back(*index);
        }
    }
    const SignalFiles &files = FilesOf(segment.name, header);
    const std::uint64_t from = std::max(span.from, segment.start);
    const std::uint64_t to = std::min(span.to, segment.start + segment.frames);
    if (wanted.empty() || from >= to) {
        return;  // the rest stays missing
    }
    const std::vector<SignalSamples> read = files.Read(inSegment, from - segment.start, to - segment.start, warnings);
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        SignalSamples &target = out[wanted[i]];
        const WfdbSignalLine &layout = signals_[signals[wanted[i]]];
        const auto perFrame = static_cast<std::uint64_t>(layout.samplesPerFrame);
        const auto offset = static_cast<std::ptrdiff_t>((from - span.from) * perFrame);
        std::int32_t *first = target.values.data() + offset;
        std::copy(read[i].values.begin(), read[i].values.end(), first);
        if (variableLayout_) {
            MapToLayout(first, read[i].values.size(), header.signals[inSegment[i]], layout);
        }
        std::fill_n(target.missing.begin() + offset, read[i].values.size(), false);
    }
}

std::vector<std::string> SignalNames(const WfdbRecord &record)
{
    std::vector<std::string> names;
    for (const WfdbSignalLine &signal : record.Signals()) {
        names.push_back(signal.description);
    }
    return names;
}

SignalSamples FrameMeans(const SignalSamples &samples, int samplesPerFrame)
{
    if (samplesPerFrame == 1) {
        return samples;
    }
    const auto perFrame = static_cast<std::size_t>(samplesPerFrame);
    SignalSamples means;
    const std::size_t frames = samples.values.size() / perFrame;
    means.values.resize(frames);
    if (!samples.missing.empty()) {
        means.missing.resize(frames);
    }
    for (std::size_t frame = 0; frame < frames; ++frame) {
        std::int64_t sum = 0;
        for (std::size_t j = 0; j < perFrame; ++j) {
            sum += samples.values[frame * perFrame + j];
        }
        means.values[frame] = static_cast<std::int32_t>(sum / samplesPerFrame);  // truncated, as the WFDB package does
        if (!samples.missing.empty()) {
            const auto first = samples.missing.begin() + static_cast<std::ptrdiff_t>(frame * perFrame);
            means.missing[frame] = std::any_of(first, first + samplesPerFrame, [](bool missing) { return missing; });
        }
    }
    return means;
}

}  // namespace qzkit
