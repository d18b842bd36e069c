// SPDX-License-Identifier: Apache-2.0
// The run settings written as text, the way the tool takes them as its
// optional arguments: "MASK PEAK BEAT DERIV", each a number 0 to 65535.
#ifndef QZKIT_RUN_SETTINGS_TEXT_H
#define QZKIT_RUN_SETTINGS_TEXT_H

#include <cstdint>
#include <string>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

namespace qzkit {

// One setting: a number 0..65535. ToolkitError naming `what` otherwise.
std::uint16_t ParseSetting(const std::string &text, const std::string &what);

// "MASK PEAK BEAT DERIV" as four numbers 0..65535. ToolkitError otherwise.
qz::run_settings_struct ParseSettings(const std::string &text);

// The settings as ParseSettings reads them: "MASK PEAK BEAT DERIV".
std::string SettingsText(const qz::run_settings_struct &settings);

}  // namespace qzkit

#endif
