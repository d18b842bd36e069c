// SPDX-License-Identifier: Apache-2.0
// The one sample access rule of the packed buffer. Every stage and both
// whole-buffer conversions read and write groups only through these helpers.
//
// A group is five bytes holding four 10-bit samples: bytes 0..3 are the low
// bytes of samples 3, 2, 1, 0; byte 4 holds bits 8-9 of sample k at bits 2k,
// 2k+1. Stages walk the buffer from byte 0 while the byte offset is below
// CalcHeart_BufferLength, reading a group (offset += 5) and writing the new
// values back into the group just passed.
#ifndef QZ_PACKED_GROUP_H
#define QZ_PACKED_GROUP_H

#include <qz_vozozi_DE/GenericTypeDefs.h>
#include <qz_vozozi_DE/QZ_DataStructures.h>

namespace qz {

#define QZ_SAMPLE_MAX 1023u

// The stages' loops over the QZ_GROUP_SAMPLES samples of a group are unrolled
// ("#pragma GCC unroll 4", which GCC and Clang both read): the window then
// stays in registers instead of memory, on every optimisation level.

// The group layout as meas_struct_4_5 describes it: byte 3 - k holds the low
// byte of sample k, byte 4 bits 2k and 2k+1 its bits 8 and 9.
constexpr unsigned QZ_HIGH_BYTE = 4u;
constexpr unsigned QZ_HIGH_BITS = 0x300u;

// Reads the group at byte offset `offset` without moving any index: the four
// samples in time order. Written out sample by sample (no loop, no copy of the
// group) because every stage pays for it on every sample.
inline void ReadGroupAt(const BYTE *BufferPtr, UINT16 offset, UINT16 *tmpData)
{
    const BYTE *group = BufferPtr + offset;
    const unsigned high = group[QZ_HIGH_BYTE];
    tmpData[0] = static_cast<UINT16>(group[3] | ((high << 8) & QZ_HIGH_BITS));
    tmpData[1] = static_cast<UINT16>(group[2] | ((high << 6) & QZ_HIGH_BITS));
    tmpData[2] = static_cast<UINT16>(group[1] | ((high << 4) & QZ_HIGH_BITS));
    tmpData[3] = static_cast<UINT16>(group[0] | ((high << 2) & QZ_HIGH_BITS));
}

// Reads the group at BufferIndex and advances BufferIndex past it.
inline void ReadGroup(const BYTE *BufferPtr, UINT16 &BufferIndex, UINT16 *tmpData)
{
    ReadGroupAt(BufferPtr, BufferIndex, tmpData);
    BufferIndex = static_cast<UINT16>(BufferIndex + QZ_GROUP_BYTES);
}

// Writes four samples into the group at byte offset `offset`. Only bits 0-9
// of each value are kept, so no value can disturb the other three samples.
// The four values are read before the first byte is stored: a byte store may
// alias them, and would force them to be read again.
inline void WriteGroupAt(BYTE *BufferPtr, UINT16 offset, const UINT16 *tmpData)
{
    const unsigned s0 = tmpData[0];
    const unsigned s1 = tmpData[1];
    const unsigned s2 = tmpData[2];
    const unsigned s3 = tmpData[3];
    BYTE *group = BufferPtr + offset;
    group[3] = static_cast<BYTE>(s0);
    group[2] = static_cast<BYTE>(s1);
    group[1] = static_cast<BYTE>(s2);
    group[0] = static_cast<BYTE>(s3);
    group[QZ_HIGH_BYTE] = static_cast<BYTE>(((s0 & QZ_HIGH_BITS) >> 8) | ((s1 & QZ_HIGH_BITS) >> 6) |
                                            ((s2 & QZ_HIGH_BITS) >> 4) | ((s3 & QZ_HIGH_BITS) >> 2));
}

// Writes four samples back into the group the walk has just read
// (BufferIndex already points past it); BufferIndex is unchanged.
inline void WriteGroupBack(BYTE *BufferPtr, UINT16 BufferIndex, const UINT16 *tmpData)
{
    WriteGroupAt(BufferPtr, static_cast<UINT16>(BufferIndex - QZ_GROUP_BYTES), tmpData);
}

}  // namespace qz

#endif
