// SPDX-License-Identifier: Apache-2.0
// Float-to-integer conversion for the stages that compute in single precision.
// The float is compared against the limits before it is converted, so the
// conversion only ever sees a value whose truncation lies inside [low, high].
#ifndef QZ_FLOAT_TRUNCATION_H
#define QZ_FLOAT_TRUNCATION_H

#include <math.h>

#include <qz_vozozi_DE/GenericTypeDefs.h>

namespace qz {

// Truncates `value` toward zero and saturates the result to [low, high]:
// value >= high + 1 (or +inf) gives high, value <= low - 1 (or -inf) gives low,
// NaN gives `nanResult`. The limits must be exact in float (|limit| < 2^24).
inline INT32 TruncateSaturated(float value, INT32 low, INT32 high, INT32 nanResult)
{
    if (isnan(value)) {
        return nanResult;
    }
    if (value >= static_cast<float>(high) + 1.0f) {
        return high;
    }
    if (value <= static_cast<float>(low) - 1.0f) {
        return low;
    }
    return static_cast<INT32>(value);
}

}  // namespace qz

#endif
