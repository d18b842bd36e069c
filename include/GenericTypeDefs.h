// SPDX-License-Identifier: Apache-2.0
// Fixed-width scalar types used throughout the library and the driver.
#ifndef GENERIC_TYPE_DEFS_H
#define GENERIC_TYPE_DEFS_H

#include <stdint.h>

typedef uint8_t BYTE;
typedef int8_t SBYTE;
typedef uint16_t UINT16;
typedef uint32_t UINT32;
typedef int16_t INT16;
typedef int32_t INT32;

#endif
