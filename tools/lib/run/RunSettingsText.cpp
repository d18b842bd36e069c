// SPDX-License-Identifier: Apache-2.0
#include "run/RunSettingsText.h"

#include <limits>
#include <sstream>
#include <vector>

#include "ToolkitError.h"
#include "io/TextParsing.h"

namespace qzkit {
namespace {

constexpr std::size_t kSettingsFields = 4;

bool IsSetting(const std::string &text, std::uint16_t &value)
{
    std::int64_t number = -1;
    if (!ParseInteger(text, number) || number < 0 || number > std::numeric_limits<std::uint16_t>::max()) {
        return false;
    }
    value = static_cast<std::uint16_t>(number);
    return true;
}

}  // namespace

std::uint16_t ParseSetting(const std::string &text, const std::string &what)
{
    std::uint16_t value = 0;
    if (!IsSetting(text, value)) {
        throw ToolkitError(what + " " + Quoted(text) + " is not a number 0 to 65535");
    }
    return value;
}

qz::run_settings_struct ParseSettings(const std::string &text)
{
    std::istringstream stream(text);
    std::vector<std::uint16_t> values;
    std::string field;
    bool inRange = true;
    while (stream >> field) {
        values.push_back(0);
        inRange = IsSetting(field, values.back()) && inRange;
    }
    if (values.size() != kSettingsFields || !inRange) {
        throw ToolkitError("settings \"" + text + "\" are not four numbers MASK PEAK BEAT DERIV (0 to 65535)");
    }
    return {values[0], values[1], values[2], values[3]};
}

std::string SettingsText(const qz::run_settings_struct &settings)
{
    return std::to_string(settings.StageMask) + ' ' + std::to_string(settings.PeakDetection) + ' ' +
           std::to_string(settings.BeatMethod) + ' ' + std::to_string(settings.DerivativeOrder);
}

}  // namespace qzkit
