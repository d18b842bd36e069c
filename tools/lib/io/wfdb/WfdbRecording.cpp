// SPDX-License-Identifier: Apache-2.0
#include "io/wfdb/WfdbRecording.h"

#include <algorithm>
#include <limits>

#include "io/wfdb/SignalFormat.h"
#include "io/wfdb/WfdbRecord.h"

namespace qzkit {
namespace {

// Frames read at a time by the piecewise reader.
constexpr std::uint64_t kFramesPerRead = std::uint64_t{1} << 16;

class WfdbChannel : public ChannelReader {
public:
    WfdbChannel(const std::filesystem::path &record, const std::string &channel)
        : wfdb_(record), chosen_(ChooseChannel(SignalNames(wfdb_), channel)), signal_(wfdb_.Signals()[chosen_]),
          invalid_(InvalidValue(signal_.format))
    {
        description_.rate = wfdb_.FrameRate() * signal_.samplesPerFrame;
        description_.units = signal_.units;
        description_.channelName = signal_.description;
    }

    const WfdbRecord &Record() const { return wfdb_; }

    // Appends the samples of frames `span` to `out`: missing ones NaN (and
    // listed in `gaps`, as positions in `out`), invalid ones the previous
    // valid value.
    void Append(FrameSpan span, std::vector<double> &out, std::vector<std::pair<std::size_t, std::size_t>> &gaps)
    {
        const SignalSamples samples = wfdb_.Read({chosen_}, span, description_.warnings).front();
        const std::size_t first = out.size();
        out.resize(first + samples.values.size());
        for (std::size_t i = 0; i < samples.values.size(); ++i) {
            const std::size_t at = first + i;
            if (!samples.missing.empty() && samples.missing[i]) {
                if (gaps.empty() || gaps.back().second != at) {
                    gaps.emplace_back(at, at);
                }
                gaps.back().second = at + 1;
                out[at] = std::numeric_limits<double>::quiet_NaN();
            } else if (samples.values[i] == invalid_) {
                ++description_.invalidSamples;
                out[at] = previous_;
            } else {
                out[at] = PhysicalValue(samples.values[i], signal_);
                previous_ = out[at];
            }
        }
    }

    std::size_t Read(std::span<double> samples) override
    {
        const auto perFrame = static_cast<std::size_t>(signal_.samplesPerFrame);
        std::size_t filled = 0;
        while (samples.size() - filled >= perFrame && next_ < wfdb_.Frames()) {
            const std::uint64_t frames =
                std::min({kFramesPerRead, wfdb_.Frames() - next_, std::uint64_t{(samples.size() - filled) / perFrame}});
            piece_.clear();
            gaps_.clear();
            Append({next_, next_ + frames}, piece_, gaps_);
            std::copy(piece_.begin(), piece_.end(), samples.begin() + static_cast<std::ptrdiff_t>(filled));
            next_ += frames;
            filled += piece_.size();
        }
        return filled;
    }

private:
    WfdbRecord wfdb_;
    std::size_t chosen_;
    WfdbSignalLine signal_;
    std::optional<std::int32_t> invalid_;
    double previous_ = 0.0;
    std::uint64_t next_ = 0;  // the next frame to read
    std::vector<double> piece_;
    std::vector<std::pair<std::size_t, std::size_t>> gaps_;
};

}  // namespace

Recording ReadWfdbRecording(const std::filesystem::path &record, const std::string &channel)
{
    WfdbChannel reader(record, channel);
    std::vector<double> samples;
    std::vector<std::pair<std::size_t, std::size_t>> gaps;
    reader.Append({0, reader.Record().Frames()}, samples, gaps);
    Recording recording = reader.Description();
    recording.samples = std::move(samples);
    recording.gaps = std::move(gaps);
    return recording;
}

std::unique_ptr<ChannelReader> OpenWfdbChannel(const std::filesystem::path &record, const std::string &channel)
{
    return std::make_unique<WfdbChannel>(record, channel);
}

}  // namespace qzkit
