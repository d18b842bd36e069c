// SPDX-License-Identifier: Apache-2.0
#include "ToolkitError.h"

#include <cmath>
#include <cstdio>

namespace qzkit {
namespace {

constexpr std::size_t kQuotedLength = 40;

}  // namespace

std::string Quoted(std::string_view text)
{
    std::string shown = "'";
    for (const char c : text.substr(0, kQuotedLength)) {
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    }
    return shown + (text.size() > kQuotedLength ? "'..." : "'");
}

std::string Readable(double value)
{
    if (std::isnan(value)) {
        return "nan";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace qzkit
