// SPDX-License-Identifier: Apache-2.0
// convert's windows of a record cut while the record is read, a piece at a
// time: the memory it takes does not grow with the record's length.
#ifndef QZKIT_WINDOW_WALK_H
#define QZKIT_WINDOW_WALK_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "convert/Convert.h"
#include "io/Recording.h"
#include "signal/FrontEnd.h"
#include "signal/Resampler.h"

namespace qzkit {

struct WalkedWindow {
    std::size_t start = 0;  // first sample in the converted recording
    std::vector<std::uint16_t> samples;
};

// The windows `Convert` would write for `options` (its input, channel, front
// end, length and step), in order. Each run of the record between gaps is
// converted on its own, and a window lies inside one run. WFDB and EDF
// records are read a piece at a time; text recordings are read whole.
class WindowWalk {
public:
    // ToolkitError for options or a record convert refuses.
    explicit WindowWalk(const ConvertOptions &options);

    // The next window; none after the last.
    std::optional<WalkedWindow> Next();

    // The channel's rate, units and name, and what was noticed so far.
    const Recording &Source() const { return reader_->Description(); }

private:
    bool ReadPiece();
    void Convert(std::span<const double> stretch, bool runEnds);
    void CutWindows();

    ConvertOptions options_;
    std::unique_ptr<ChannelReader> reader_;
    double countsPerUnit_ = 0.0;
    std::size_t step_ = 0;
    std::vector<double> piece_;
    std::size_t read_ = 0;  // source samples read
    // The run being converted: its resampler and mapper, and its converted
    // samples not yet behind the next window's start.
    std::unique_ptr<StreamResampler> resampler_;
    std::unique_ptr<TenBitMapper> mapper_;
    std::vector<double> resampled_;
    FrontEndResult mapped_;
    std::size_t bufferStart_ = 0;  // converted position of mapped_.samples[0]
    std::size_t nextStart_ = 0;    // the next window's start
    std::deque<WalkedWindow> ready_;
    bool ended_ = false;
};

}  // namespace qzkit

#endif
