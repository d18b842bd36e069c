// Numbers as the shortest text that reads back as the same value. Kept apart
// from the other encoders because it needs the C++ library's floating-point
// to_chars, which the browser build's library does not have.
#ifndef QZKIT_SHORTEST_NUMBER_H
#define QZKIT_SHORTEST_NUMBER_H

#include <string>

namespace qzkit {

// The shortest text that reads back as `value` ("0.1", "250", "1e-05"):
// returned, or appended to `text`.
std::string ShortestNumber(double value);
void AppendShortest(std::string &text, double value);

// The same for a single-precision value: the digits that read back as that
// float ("0.004", not the double's "0.004000000189989805").
std::string ShortestFloat(float value);

}  // namespace qzkit

#endif
