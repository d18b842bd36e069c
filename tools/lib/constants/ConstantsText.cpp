// SPDX-License-Identifier: Apache-2.0
#include "constants/ConstantsText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "io/ShortestDecimal.h"
#include "ToolkitError.h"

namespace qzkit {
namespace {

constexpr int kExponentBias = 127;
constexpr unsigned kInfinityExponent = 255;
constexpr int kNameColumn = 15;  // width of the longest field name

std::string_view Trim(std::string_view text)
{
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> SplitValues(std::string_view text)
{
    std::vector<std::string_view> values;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        values.push_back(Trim(text.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                                  : comma - start)));
        if (comma == std::string_view::npos) {
            return values;
        }
        start = comma + 1;
    }
}

// Where a problem was found, for the one-line error.
class TextLocation {
public:
    TextLocation(const std::string &source, std::size_t line) : source_(source), line_(line) {}
    [[noreturn]] void Fail(const std::string &message) const
    {
        throw ToolkitError(source_ + ":" + std::to_string(line_) + ": " + message);
    }

private:
    const std::string &source_;
    std::size_t line_;
};

std::int64_t ParseInteger(std::string_view token, const ConstantsField &field, const TextLocation &where)
{
    std::string_view digits = token;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error == std::errc::invalid_argument || end != digits.data() + digits.size()) {
        where.Fail(std::string(field.name) + ": " + Quoted(token) + " is not a whole number");
    }
    if (error == std::errc::result_out_of_range || value < FieldMinimum(field.type) ||
        value > FieldMaximum(field.type)) {
        where.Fail(std::string(field.name) + ": " + std::string(token) + " is outside " +
                   std::to_string(FieldMinimum(field.type)) + ".." + std::to_string(FieldMaximum(field.type)));
    }
    return value;
}

double ParseReal(std::string_view token, const ConstantsField &field, const TextLocation &where)
{
    // strtod also takes "inf", "infinity" and hexadecimal floats (exact
    // values); the token is already trimmed.
    const std::string copy(token);
    char *end = nullptr;
    errno = 0;
    const double value = std::strtod(copy.c_str(), &end);
    const bool overflowed = errno == ERANGE && std::isinf(value);
    if (copy.empty() || end != copy.c_str() + copy.size() || std::isnan(value)) {
        where.Fail(std::string(field.name) + ": " + Quoted(copy) + " is not a number");
    }
    if (overflowed) {
        where.Fail(std::string(field.name) + ": " + copy + " is beyond the largest 3-byte float");
    }
    return value;
}

std::string ElementName(const ConstantsField &field, std::size_t index)
{
    return field.count == 1 ? std::string(field.name)
                            : std::string(field.name) + "[" + std::to_string(index) + "]";
}

// Floats by the image offset of their value, so that they come out in field order.
using RoundingsByOffset = std::map<std::size_t, FloatRounding>;

void StoreValues(const ConstantsField &field, const std::vector<std::string_view> &tokens, const TextLocation &where,
                 ConstantsImage &image, RoundingsByOffset &roundings)
{
    if (tokens.size() != field.count) {
        where.Fail(std::string(field.name) + ": expected " + std::to_string(field.count) + " value" +
                   (field.count == 1 ? "" : "s") + ", got " + std::to_string(tokens.size()));
    }
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (field.type != FieldType::ThreeByteFloat) {
            WriteIntegerValue(image, field, i, ParseInteger(tokens[i], field, where));
            continue;
        }
        const double requested = ParseReal(tokens[i], field, where);
        Float24 bytes{};
        try {
            bytes = EncodeFloat24(requested);
        } catch (const ToolkitError &error) {
            where.Fail(std::string(field.name) + ": " + std::string(tokens[i]) + ": " + error.what());
        }
        WriteFloatValue(image, field, i, bytes);
        roundings[field.offset + i] = {ElementName(field, i), requested, bytes, DecodeFloat24(bytes)};
    }
}

std::string HexBytes(const Float24 &bytes)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X", bytes[0], bytes[1], bytes[2]);
    return text;
}

std::string FormatValues(const ConstantsImage &image, const ConstantsField &field)
{
    std::string text;
    for (std::size_t i = 0; i < field.count; ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += field.type == FieldType::ThreeByteFloat
                    ? ShortestDecimal(DecodeFloat24(ReadFloatValue(image, field, i)))
                    : std::to_string(ReadIntegerValue(image, field, i));
    }
    return text;
}

}  // namespace

ParsedConstants ParseConstantsText(std::string_view text, const std::string &sourceName)
{
    ParsedConstants parsed;
    RoundingsByOffset roundings;
    std::map<std::string_view, std::size_t> seenOnLine;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const TextLocation where(sourceName, lineNumber);
        line = Trim(line.substr(0, line.find('#')));
        if (line.empty()) {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            where.Fail("expected 'Field = value', got " + Quoted(line));
        }
        const std::string_view name = Trim(line.substr(0, equals));
        const auto fields = ConstantsFields();
        const auto field = std::find_if(fields.begin(), fields.end(),
                                        [name](const ConstantsField &candidate) { return candidate.name == name; });
        if (field == fields.end()) {
            where.Fail("unknown field " + Quoted(name));
        }
        if (const auto seen = seenOnLine.find(field->name); seen != seenOnLine.end()) {
            where.Fail(std::string(name) + " given again (first on line " + std::to_string(seen->second) + ")");
        }
        seenOnLine[field->name] = lineNumber;
        StoreValues(*field, SplitValues(line.substr(equals + 1)), where, parsed.image, roundings);
    }
    for (const ConstantsField &field : ConstantsFields()) {
        if (seenOnLine.count(field.name) == 0) {
            throw ToolkitError(sourceName + ": missing field " + std::string(field.name));
        }
    }
    for (const auto &entry : roundings) {
        parsed.roundings.push_back(entry.second);
    }
    return parsed;
}

std::string DescribeFloat24(const Float24 &bytes)
{
    const Float24Parts parts = SplitFloat24(bytes);
    const char sign = parts.negative ? '-' : '+';
    if (parts.exponent == kInfinityExponent) {
        return HexBytes(bytes) + " = " + sign + "infinity (exponent 255)";
    }
    return HexBytes(bytes) + " = " + sign + "(1 + " + std::to_string(parts.mantissa) + "/32768) x 2^" +
           std::to_string(static_cast<int>(parts.exponent) - kExponentBias);
}

std::string FormatConstantsText(const ConstantsImage &image)
{
    std::ostringstream text;
    for (const ConstantsField &field : ConstantsFields()) {
        char line[160];
        std::snprintf(line, sizeof line, "%-*s = %s", kNameColumn, std::string(field.name).c_str(),
                      FormatValues(image, field).c_str());
        text << line << "\n";
        text << "    # " << field.meaning << "\n";
        if (field.type != FieldType::ThreeByteFloat) {
            continue;
        }
        for (std::size_t i = 0; i < field.count; ++i) {
            text << "    # ";
            if (field.count != 1) {
                text << "[" << i << "] ";
            }
            text << DescribeFloat24(ReadFloatValue(image, field, i)) << "\n";
        }
    }
    return text.str();
}

}  // namespace qzkit
