#include "io/ShortestNumber.h"

#include <charconv>

namespace qzkit {

void AppendShortest(std::string &text, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
}

std::string ShortestNumber(double value)
{
    std::string text;
    AppendShortest(text, value);
    return text;
}

std::string ShortestFloat(float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace qzkit
