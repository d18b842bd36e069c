// Formatting numbers into text the printf way, and text into a CSV field.
#ifndef QZKIT_TEXT_FORMAT_H
#define QZKIT_TEXT_FORMAT_H

#include <string>

namespace qzkit {

// snprintf into a string of at most 511 characters.
std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));

// One CSV field: as it is, or in double quotes (inner quotes doubled) when it
// holds a comma, a quote or a line end.
std::string CsvField(const std::string &text);

}  // namespace qzkit

#endif
