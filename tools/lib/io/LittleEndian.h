// SPDX-License-Identifier: Apache-2.0
// Little-endian 16-bit values of a byte image, as the tool's files
// store them.
#ifndef QZKIT_LITTLE_ENDIAN_H
#define QZKIT_LITTLE_ENDIAN_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qzkit {

// The 16-bit word at word index `word` (byte offset 2 * word).
inline std::uint16_t WordAt(const std::vector<std::uint8_t> &bytes, std::size_t word)
{
    return static_cast<std::uint16_t>(bytes[2u * word] | (bytes[2u * word + 1u] << 8));
}

}  // namespace qzkit

#endif
