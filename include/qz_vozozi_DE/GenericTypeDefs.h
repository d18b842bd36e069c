// SPDX-License-Identifier: Apache-2.0
// Fixed-width scalar types used throughout the library and the driver.
#ifndef QZ_GENERIC_TYPE_DEFS_H
#define QZ_GENERIC_TYPE_DEFS_H

#include <stdint.h>

namespace qz {

typedef uint8_t BYTE;
typedef int8_t SBYTE;
typedef uint16_t UINT16;
typedef uint32_t UINT32;
typedef int16_t INT16;
typedef int32_t INT32;

}  // namespace qz

#endif
