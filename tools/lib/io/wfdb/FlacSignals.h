// SPDX-License-Identifier: Apache-2.0
// Signal files in the FLAC formats (508, 516, 524), decoded with libFLAC:
// one FLAC channel per signal of the file.
#ifndef QZKIT_WFDB_FLAC_SIGNALS_H
#define QZKIT_WFDB_FLAC_SIGNALS_H

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace qzkit {

// The FLAC stream of `channels` channels that starts `byteOffset` bytes into
// `path`, decoded forward: reading on from where the last read ended costs
// only the new samples, so a file read in consecutive spans is decoded once.
// Throws ToolkitError naming the file when the stream does not decode or has
// a different number of channels.
class FlacSignals {
public:
    FlacSignals(const std::filesystem::path &path, std::uint64_t byteOffset, unsigned channels);
    ~FlacSignals();
    FlacSignals(const FlacSignals &) = delete;
    FlacSignals &operator=(const FlacSignals &) = delete;

    // Samples handed out so far (per channel).
    std::uint64_t Position() const;

    // The next `samples` samples of each channel, [channel][sample]; fewer
    // where the stream ends first.
    std::vector<std::vector<std::int32_t>> Next(std::uint64_t samples);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace qzkit

#endif
