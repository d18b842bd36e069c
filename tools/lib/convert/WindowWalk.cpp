// SPDX-License-Identifier: Apache-2.0
#include "convert/WindowWalk.h"

#include <algorithm>
#include <cmath>

namespace qzkit {
namespace {

// Source samples read at a time.
constexpr std::size_t kPieceSamples = std::size_t{1} << 16;

}  // namespace

WindowWalk::WindowWalk(const ConvertOptions &options)
    : options_(options), step_(options.step == 0 ? options.windowLength : options.step), piece_(kPieceSamples)
{
    ValidateConvertOptions(options_);
    reader_ = OpenChannel(options_);
    countsPerUnit_ = CountsPerUnit(options_, Source().units);
}

std::optional<WalkedWindow> WindowWalk::Next()
{
    while (ready_.empty() && ReadPiece()) {
    }
    if (ready_.empty()) {
        return std::nullopt;
    }
    WalkedWindow window = std::move(ready_.front());
    ready_.pop_front();
    return window;
}

// Splits the piece into stretches with data and stretches without: a run
// starts with the first sample with data and ends before the first without.
bool WindowWalk::ReadPiece()
{
    if (ended_) {
        return false;
    }
    const std::size_t got = reader_->Read(piece_);
    const std::span<const double> piece(piece_.data(), got);
    std::size_t i = 0;
    while (i < piece.size()) {
        const bool data = !std::isnan(piece[i]);
        const auto end = std::find_if(piece.begin() + static_cast<std::ptrdiff_t>(i), piece.end(),
                                      [data](double value) { return std::isnan(value) == data; });
        const auto length = static_cast<std::size_t>(end - piece.begin()) - i;
        if (data) {
            if (!resampler_) {
                const double ratio = options_.targetRate / Source().rate;
                resampler_ = std::make_unique<StreamResampler>(Source().rate, options_.targetRate, options_.quality);
                mapper_ = std::make_unique<TenBitMapper>(
                    options_.targetRate, FrontEndOptions{options_.acCouplingHz, countsPerUnit_, options_.centre});
                mapped_.samples.clear();
                bufferStart_ = static_cast<std::size_t>(std::llround(static_cast<double>(read_ + i) * ratio));
            }
            Convert(piece.subspan(i, length), false);
        } else if (resampler_) {
            Convert({}, true);
        }
        i += length;
    }
    read_ += got;
    if (got < piece_.size()) {
        ended_ = true;
        if (resampler_) {
            Convert({}, true);
        }
    }
    return true;
}

void WindowWalk::Convert(std::span<const double> stretch, bool runEnds)
{
    resampled_.clear();
    resampler_->Push(stretch, runEnds, resampled_);
    mapper_->Map(resampled_, mapped_);
    CutWindows();
    if (runEnds) {
        resampler_.reset();
        mapper_.reset();
        mapped_.samples.clear();
    }
}

void WindowWalk::CutWindows()
{
    const std::size_t length = options_.windowLength;
    const std::size_t end = bufferStart_ + mapped_.samples.size();
    for (; nextStart_ + length <= end; nextStart_ += step_) {
        if (nextStart_ >= bufferStart_) {  // windows starting before the run lie over a gap
            const auto first = mapped_.samples.begin() + static_cast<std::ptrdiff_t>(nextStart_ - bufferStart_);
            ready_.push_back({nextStart_, {first, first + static_cast<std::ptrdiff_t>(length)}});
        }
    }
    // Keep only what the next window needs.
    const std::size_t keep = std::min(std::max(nextStart_, bufferStart_), end) - bufferStart_;
    mapped_.samples.erase(mapped_.samples.begin(), mapped_.samples.begin() + static_cast<std::ptrdiff_t>(keep));
    bufferStart_ += keep;
}

}  // namespace qzkit
