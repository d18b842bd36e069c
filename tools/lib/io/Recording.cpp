#include "io/Recording.h"

#include <algorithm>
#include <cctype>

#include "ToolkitError.h"

namespace qzkit {
namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool AllDigits(const std::string &text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::string ListNames(const std::vector<std::string> &names)
{
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        list += (i == 0 ? "" : ", ") + std::to_string(i) + " '" + names[i] + "'";
    }
    return list;
}

}  // namespace

std::size_t ChooseChannel(const std::vector<std::string> &names, const std::string &choice)
{
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == choice) {
            return i;
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (Lower(names[i]) == Lower(choice)) {
            return i;
        }
    }
    if (AllDigits(choice) && choice.size() < 9 && std::stoul(choice) < names.size()) {
        return std::stoul(choice);
    }
    throw ToolkitError("no channel " + Quoted(choice) + "; channels are " + ListNames(names));
}

double UnitsPerMillivolt(const std::string &units)
{
    const std::string unit = Lower(units);
    if (unit == "mv") {
        return 1.0;
    }
    if (unit == "uv" || unit == "\xC2\xB5v" || unit == "\xCE\xBCv") {  // u, micro sign, Greek mu
        return 1000.0;
    }
    if (unit == "v") {
        return 0.001;
    }
    return 0.0;
}

}  // namespace qzkit
