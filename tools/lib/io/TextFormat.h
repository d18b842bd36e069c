// SPDX-License-Identifier: Apache-2.0
// The text encoders: numbers into text (the printf way, a percentage; the
// shortest text that reads back is in io/ShortestDecimal.h), and text into a
// CSV field, HTML or a JSON string.
#ifndef QZKIT_TEXT_FORMAT_H
#define QZKIT_TEXT_FORMAT_H

#include <string>

namespace qzkit {

// snprintf into a string of at most 511 characters.
std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));

// One CSV field: as it is, or in double quotes (inner quotes doubled) when it
// holds a comma, a quote or a line end.
std::string CsvField(const std::string &text);

// A ratio as a percentage with one decimal: 0.9126 is "91.3 %".
std::string Percent(double ratio);

// Text for HTML or SVG, in elements and in attribute values: & < > " escaped.
std::string EscapeMarkup(const std::string &text);

// A JSON string, quotes included; a byte that is not part of well-formed
// UTF-8 (text in another encoding) is written as the character of that value
// (Latin-1).
std::string JsonString(const std::string &text);

}  // namespace qzkit

#endif
