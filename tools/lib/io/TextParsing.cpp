#include "io/TextParsing.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace qzkit {

bool ParseNumber(const std::string &text, double &value)
{
    if (text.empty()) {
        return false;
    }
    char *end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

bool ParseInteger(const std::string &text, std::int64_t &value)
{
    if (text.empty()) {
        return false;
    }
    char *end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    value = parsed;
    return errno == 0 && end == text.c_str() + text.size();
}

}  // namespace qzkit
