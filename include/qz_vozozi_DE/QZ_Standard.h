// SPDX-License-Identifier: Apache-2.0
// Small value types through which the stages handle one sample or accumulator.
// Each keeps its value in `Value`; the byte views are accessors so that no
// code depends on union type punning or on the host's byte order.
#ifndef QZ_STANDARD_H
#define QZ_STANDARD_H

#include <qz_vozozi_DE/GenericTypeDefs.h>

namespace qz {

// One unsigned 16-bit value (a decoded sample, or a byte offset).
struct BYTE2 {
    UINT16 Value;

    BYTE lowByte() const { return static_cast<BYTE>(Value & 0xFFu); }
    BYTE highByte() const { return static_cast<BYTE>(Value >> 8); }
    static BYTE2 fromBytes(BYTE low, BYTE high)
    {
        return BYTE2{static_cast<UINT16>(low | (high << 8))};
    }
};

// One signed 16-bit value (a sample minus the median).
struct SBYTE2 {
    INT16 Value;
};

// One signed 32-bit accumulator.
struct SBYTE4 {
    INT32 Value;
};

}  // namespace qz

#endif
