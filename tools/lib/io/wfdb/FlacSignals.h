// Signal files in the FLAC formats (508, 516, 524), decoded with libFLAC:
// one FLAC channel per signal of the file.
#ifndef QZKIT_WFDB_FLAC_SIGNALS_H
#define QZKIT_WFDB_FLAC_SIGNALS_H

#include <cstdint>
#include <filesystem>
#include <vector>

namespace qzkit {

// The first `samples` samples of each of `channels` channels of the FLAC
// stream that starts `byteOffset` bytes into `path` (fewer where the stream
// ends first), [channel][sample]. Reads only as far as it needs. Throws
// ToolkitError naming the file when the stream does not decode or has a
// different number of channels.
std::vector<std::vector<std::int32_t>> DecodeFlacSignals(const std::filesystem::path &path, std::uint64_t byteOffset,
                                                        unsigned channels, std::uint64_t samples);

}  // namespace qzkit

#endif
