// SPDX-License-Identifier: Apache-2.0
// Whole-buffer conversions between 16-bit words and the packed 10-bit layout.
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "QZ_Filters/PackedGroup.h"

namespace qz {

// Packs SampleCount words (each reduced to its low 10 bits) into groups.
void hlp_convertUnpackedToPacked(const UINT16 *unpackedBuffer, BYTE *packedBuffer)
{
    const UINT16 count = SampleCount;  // in a local: the byte stores could alias the global
    UINT16 m = 0;
    for (UINT16 n = 0; n < count; n = static_cast<UINT16>(n + QZ_GROUP_SAMPLES)) {
        WriteGroupAt(packedBuffer, m, &unpackedBuffer[n]);
        m = static_cast<UINT16>(m + QZ_GROUP_BYTES);
    }
}

// Unpacks BufferSize bytes of groups into words 0..1023, in time order.
void hlp_convertPackedToUnpacked(const BYTE *packedBuffer, UINT16 *unpackedBuffer)
{
    const UINT16 length = BufferSize;  // in a local: the word stores could alias the global
    UINT16 n = 0;
    for (UINT16 m = 0; m < length; m = static_cast<UINT16>(m + QZ_GROUP_BYTES)) {
        ReadGroupAt(packedBuffer, m, &unpackedBuffer[n]);
        n = static_cast<UINT16>(n + QZ_GROUP_SAMPLES);
    }
}

}  // namespace qz
