// SPDX-License-Identifier: Apache-2.0
// The harness's file operations and conversions (prefix hlp_).
#ifndef QZ_HELPERS_H
#define QZ_HELPERS_H

#include <stddef.h>

#include <qz_vozozi_DE/GenericTypeDefs.h>
#include <qz_vozozi_DE/QZ_DataStructures.h>

namespace qz {
#pragma GCC visibility push(default)  // exported; everything else is built hidden

// Moves `length` units of `unitSize` bytes between the file named
// filename + extension and databuffer in one transfer. Returns the number of
// whole units moved; 0 when the file cannot be opened. With LogLevel > 2 one
// "Reading"/"Writing" line is printed before the open.
int hlp_readBinaryDataFile(const char *filename, const char *extension, void *databuffer, int length,
                           size_t unitSize);
int hlp_writeBinaryDataFile(const char *filename, const char *extension, const void *databuffer, int length,
                            size_t unitSize);

// Whole-buffer conversions; lengths come from SampleCount / BufferSize.
void hlp_convertUnpackedToPacked(const UINT16 *unpackedBuffer, BYTE *packedBuffer);
void hlp_convertPackedToUnpacked(const BYTE *packedBuffer, UINT16 *unpackedBuffer);

// The 3-byte float of the constants file, and the whole 31-byte image.
float hlp_convert24bitToFloat(const BYTE *float24bitPtr);
void hlp_convertSamplingTo64bitFloat(const BYTE *HeartSamplingFromFile, sampling_frequency_struct *HeartSampling);

#pragma GCC visibility pop
}  // namespace qz

#endif
