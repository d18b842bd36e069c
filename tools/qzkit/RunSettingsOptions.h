// SPDX-License-Identifier: Apache-2.0
// The run settings as every subcommand takes them: --mask, --peak,
// --beat-method and --derivative, each a number 0 to 65535 as the tool's
// optional arguments 3 to 6, or all four at once with --settings
// "MASK PEAK BEAT DERIV" (repeatable where runs are compared).
#ifndef QZKIT_RUN_SETTINGS_OPTIONS_H
#define QZKIT_RUN_SETTINGS_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

namespace qzkit {

struct RunSettingsOptions {
    std::string mask;  // empty: not given
    std::string peak;
    std::string beat;
    std::string derivative;
    std::vector<std::string> settings;  // --settings texts

    // The settings given: from --settings, or from the four options; none
    // where not given. ToolkitError for a value that is not 0 to 65535.
    std::optional<std::uint16_t> Mask() const;
    std::optional<std::uint16_t> Peak() const;
    std::optional<std::uint16_t> Beat() const;
    std::optional<std::uint16_t> Derivative() const;

    // Every run asked for, with the tool's defaults for the settings not given.
    std::vector<qz::run_settings_struct> Runs() const;
};

// Declares the options on `command`; --settings may be given `repeatable`
// times or once, and excludes the four single options.
void AddRunSettingsOptions(CLI::App &command, RunSettingsOptions &options, bool repeatable);

}  // namespace qzkit

#endif
