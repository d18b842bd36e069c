// SPDX-License-Identifier: Apache-2.0
// The human-readable form of a constants file: one `Field = value` line per
// field (arrays as comma-separated values), '#' starts a comment. Floats are
// written as decimal numbers, "inf" or "-inf"; integers as decimal numbers.
//
//   Period        = 0.004        # 250 Hz
//   LPFConstants  = 1, 2, 3, 4, 5
//   HPFConstantsA = -2.7488, 2.5283, -0.77763
#ifndef QZKIT_CONSTANTS_TEXT_H
#define QZKIT_CONSTANTS_TEXT_H

#include <string>
#include <string_view>
#include <vector>

#include "constants/ConstantsImage.h"

namespace qzkit {

// One float as asked for and as stored.
struct FloatRounding {
    std::string field;  // "Period" or "HPFConstantsA[1]"
    double requested;
    Float24 bytes;
    float stored;
};

struct ParsedConstants {
    ConstantsImage image{};
    std::vector<FloatRounding> roundings;  // in field order
};

// Throws ToolkitError, naming `sourceName` and the line, for a malformed line,
// an unknown, repeated or missing field, a wrong number of values, or a value
// the field cannot hold (integers out of range are errors, never wrapped).
ParsedConstants ParseConstantsText(std::string_view text, const std::string &sourceName);

// A float with its bytes and exact value, e.g.
// "12 83 3B = +(1 + 786/32768) x 2^-8".
std::string DescribeFloat24(const Float24 &bytes);

// The text form of an image, with each field's meaning and the bytes and
// exact value of each float as comments. Parsing it gives the same image,
// except that a non-canonical infinity (exponent 255 with a non-zero
// mantissa) comes back as the canonical one.
std::string FormatConstantsText(const ConstantsImage &image);

}  // namespace qzkit

#endif
