// SPDX-License-Identifier: Apache-2.0
// Diagnostic lines show where a value is stored as the low 32 bits of its
// address, printed as 16 hexadecimal digits ("%016x" style) on every target.
#ifndef QZ_LOG_ADDRESS_H
#define QZ_LOG_ADDRESS_H

#include <inttypes.h>
#include <stdint.h>

#include <qz_vozozi_DE/GenericTypeDefs.h>

namespace qz {

#define QZ_ADDRESS_FORMAT "%016" PRIx32

inline UINT32 LowAddressBits(const void *address)
{
    return static_cast<UINT32>(reinterpret_cast<uintptr_t>(address) & 0xFFFFFFFFu);
}

}  // namespace qz

#endif
