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

#include "GenericTypeDefs.h"
#include "QZ_DataStructures.h"

#define QZ_SAMPLE_MAX 1023u

// Decodes the four samples of a group, in time order.
inline void UnpackGroup(const meas_struct_4_5 &tmp, UINT16 *tmpData)
{
    for (unsigned k = 0; k < QZ_GROUP_SAMPLES; ++k) {
        const unsigned high = (static_cast<unsigned>(tmp.High()) >> (2u * k)) & 3u;
        tmpData[k] = static_cast<UINT16>(tmp.Low(3u - k) | (high << 8));
    }
}

// Encodes four samples into a group. Only bits 0-9 of each value are kept,
// so no value can disturb the other three samples.
inline void PackGroup(const UINT16 *tmpData, meas_struct_4_5 &tmp)
{
    tmp.High() = 0;
    for (unsigned k = 0; k < QZ_GROUP_SAMPLES; ++k) {
        const unsigned value = tmpData[k] & QZ_SAMPLE_MAX;
        tmp.Low(3u - k) = static_cast<BYTE>(value & 0xFFu);
        tmp.High() = static_cast<BYTE>(tmp.High() | ((value >> 8) << (2u * k)));
    }
}

// Reads the group at byte offset `offset` without moving any index.
inline void ReadGroupAt(const BYTE *BufferPtr, UINT16 offset, UINT16 *tmpData)
{
    meas_struct_4_5 tmp;
    for (unsigned b = 0; b < QZ_GROUP_BYTES; ++b) {
        tmp.Array[b] = BufferPtr[offset + b];
    }
    UnpackGroup(tmp, tmpData);
}

// Reads the group at BufferIndex and advances BufferIndex past it.
inline void ReadGroup(const BYTE *BufferPtr, UINT16 &BufferIndex, UINT16 *tmpData)
{
    ReadGroupAt(BufferPtr, BufferIndex, tmpData);
    BufferIndex = static_cast<UINT16>(BufferIndex + QZ_GROUP_BYTES);
}

// Writes four samples into the group at byte offset `offset`.
inline void WriteGroupAt(BYTE *BufferPtr, UINT16 offset, const UINT16 *tmpData)
{
    meas_struct_4_5 tmp;
    PackGroup(tmpData, tmp);
    for (unsigned b = 0; b < QZ_GROUP_BYTES; ++b) {
        BufferPtr[offset + b] = tmp.Array[b];
    }
}

// Writes four samples back into the group the walk has just read
// (BufferIndex already points past it); BufferIndex is unchanged.
inline void WriteGroupBack(BYTE *BufferPtr, UINT16 BufferIndex, const UINT16 *tmpData)
{
    WriteGroupAt(BufferPtr, static_cast<UINT16>(BufferIndex - QZ_GROUP_BYTES), tmpData);
}

#endif
