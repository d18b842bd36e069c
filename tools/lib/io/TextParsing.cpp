// SPDX-License-Identifier: Apache-2.0
#include "io/TextParsing.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace qzkit {

namespace {

// True when all of `text` reads as one number (also nan, inf or out of range).
bool ReadsAsNumber(const std::string &text, double &value)
{
    char *end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size();
}

}  // namespace

bool ParseNumber(const std::string &text, double &value)
{
    errno = 0;
    return ReadsAsNumber(text, value) && errno == 0 && std::isfinite(value);
}

bool IsNumberText(const std::string &text)
{
    double ignored = 0.0;
    return ReadsAsNumber(text, ignored);
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
