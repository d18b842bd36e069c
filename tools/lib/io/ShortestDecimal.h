// SPDX-License-Identifier: Apache-2.0
// The shortest decimal text of a float or double that reads back as exactly
// the same value: of the shortest digit strings in the value's rounding
// interval the one closest to the value (an exact tie to the even digit),
// written in fixed notation ("0.004", "250", "-0.5") or scientific notation
// ("1e+05", "2.5e-07"), whichever has fewer characters, fixed on a tie; a
// fixed-notation integer shows the value's exact digits. Zeros are "0" and
// "-0", infinities "inf" and "-inf", NaNs "nan" and "-nan". This is the text
// the C++ library's std::to_chars(first, last, value) gives on the desktop;
// it is computed here so that every build, including those whose C++ library
// has no floating-point to_chars (the WebAssembly page), writes the same text.
#ifndef QZKIT_SHORTEST_DECIMAL_H
#define QZKIT_SHORTEST_DECIMAL_H

#include <string>

namespace qzkit {

std::string ShortestDecimal(double value);
std::string ShortestDecimal(float value);

}  // namespace qzkit

#endif
