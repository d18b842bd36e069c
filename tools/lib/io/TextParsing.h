// SPDX-License-Identifier: Apache-2.0
// Whole-field number parsing for the text formats the toolkit reads.
#ifndef QZKIT_TEXT_PARSING_H
#define QZKIT_TEXT_PARSING_H

#include <cstdint>
#include <string>

namespace qzkit {

// True when all of `text` is one finite decimal number.
bool ParseNumber(const std::string &text, double &value);

// True when all of `text` is written as a number, finite or not ("nan",
// "inf", "1e999"): a value, though maybe not a usable one.
bool IsNumberText(const std::string &text);

// True when all of `text` is one base-10 integer in range.
bool ParseInteger(const std::string &text, std::int64_t &value);

}  // namespace qzkit

#endif
