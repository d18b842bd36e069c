// Formatting numbers into text the printf way.
#ifndef QZKIT_TEXT_FORMAT_H
#define QZKIT_TEXT_FORMAT_H

#include <string>

namespace qzkit {

// snprintf into a string of at most 511 characters.
std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qzkit

#endif
