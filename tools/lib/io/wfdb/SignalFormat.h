// SPDX-License-Identifier: Apache-2.0
// The WFDB signal formats: which exist, how their values are packed into
// bytes, their ADC width and the value each reserves for "no sample".
#ifndef QZKIT_WFDB_SIGNAL_FORMAT_H
#define QZKIT_WFDB_SIGNAL_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qzkit {

bool IsSupportedFormat(int format);
std::string SupportedFormatList();

// FLAC-compressed formats (508, 516, 524).
bool IsFlacFormat(int format);

// Format 8 stores first differences: each value adds to the signal's previous one.
inline bool IsDifferenceFormat(int format) { return format == 8; }

int DefaultAdcBits(int format);

// The stored value that marks a sample as invalid; none for format 8. A
// layout's signals (format 0) use the WFDB package's general invalid value.
std::optional<std::int32_t> InvalidValue(int format);
inline constexpr std::int32_t kLayoutInvalid = -32768;

// Packing of an uncompressed format: a block of `bytes` bytes holds `values`
// values, and blocks follow each other.
struct Packing {
    unsigned values;
    unsigned bytes;
};
Packing PackingOf(int format);

// Bytes holding the first `values` values of a stream (a partial last block
// takes only the bytes its values reach); nullopt when that overflows.
std::optional<std::uint64_t> BytesForValues(int format, std::uint64_t values);

// Whole values in a stream of `bytes` bytes.
std::uint64_t ValuesInBytes(int format, std::uint64_t bytes);

// Decodes `count` values from `bytes`, which start at a block boundary and
// hold at least BytesForValues(count) bytes. Format 8 gives its differences.
void DecodeValues(int format, const std::uint8_t *bytes, std::size_t count, std::int32_t *values);

}  // namespace qzkit

#endif
