// SPDX-License-Identifier: Apache-2.0
#include "io/TextFormat.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace qzkit {
namespace {

// The length of the well-formed UTF-8 sequence at `text[at]` (a character
// of two to four bytes; not overlong, no surrogate, at most U+10FFFF), or 0.
std::size_t Utf8SequenceAt(const std::string &text, std::size_t at)
{
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || lead < 0xC2 || at + length > text.size()) {
        return 0;
    }
    std::uint32_t code = lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code >= least && code <= 0x10FFFF && !surrogate ? length : 0;
}

}  // namespace

std::string Format(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0U, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);  // sized above: never truncates
    va_end(again);
    return text;
}

std::string CsvField(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

std::string Percent(double ratio)
{
    return Format("%.1f %%", 100.0 * ratio);
}

std::string EscapeMarkup(const std::string &text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string JsonString(const std::string &text)
{
    std::string quoted = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += text[i];
        } else if (c < 0x20 || c >= 0x80) {
            const std::size_t sequence = c >= 0x80 ? Utf8SequenceAt(text, i) : 0;
            if (sequence > 0) {
                quoted.append(text, i, sequence);
                i += sequence - 1;
            } else {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                quoted += escape;
            }
        } else {
            quoted += text[i];
        }
    }
    return quoted + "\"";
}

}  // namespace qzkit
