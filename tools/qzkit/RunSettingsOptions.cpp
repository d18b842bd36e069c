// SPDX-License-Identifier: Apache-2.0
#include "RunSettingsOptions.h"

#include "run/RunSettingsText.h"

namespace qzkit {
namespace {

// One setting: from the one --settings text when given, else from its own
// option `option` (text `text`); none when neither is given.
std::optional<std::uint16_t> Given(const RunSettingsOptions &options, qz::UINT16 qz::run_settings_struct::*field,
                                   const std::string &text, const char *option)
{
    if (!options.settings.empty()) {
        return ParseSettings(options.settings.front()).*field;
    }
    return text.empty() ? std::nullopt : std::optional(ParseSetting(text, option));
}

}  // namespace

std::optional<std::uint16_t> RunSettingsOptions::Mask() const
{
    return Given(*this, &qz::run_settings_struct::StageMask, mask, "--mask");
}

std::optional<std::uint16_t> RunSettingsOptions::Peak() const
{
    return Given(*this, &qz::run_settings_struct::PeakDetection, peak, "--peak");
}

std::optional<std::uint16_t> RunSettingsOptions::Beat() const
{
    return Given(*this, &qz::run_settings_struct::BeatMethod, beat, "--beat-method");
}

std::optional<std::uint16_t> RunSettingsOptions::Derivative() const
{
    return Given(*this, &qz::run_settings_struct::DerivativeOrder, derivative, "--derivative");
}

std::vector<qz::run_settings_struct> RunSettingsOptions::Runs() const
{
    std::vector<qz::run_settings_struct> runs;
    for (const std::string &text : settings) {
        runs.push_back(ParseSettings(text));
    }
    if (runs.empty()) {
        const qz::run_settings_struct defaults;
        runs.push_back({Mask().value_or(defaults.StageMask), Peak().value_or(defaults.PeakDetection),
                        Beat().value_or(defaults.BeatMethod), Derivative().value_or(defaults.DerivativeOrder)});
    }
    return runs;
}

void AddRunSettingsOptions(CLI::App &command, RunSettingsOptions &options, bool repeatable)
{
    auto *settings = command.add_option("--settings", options.settings,
                                        "\"MASK PEAK BEAT DERIV\" as the tool's optional arguments 3 to 6" +
                                            std::string(repeatable ? "; repeat to compare settings" : ""))
                         ->allow_extra_args(false);
    if (!repeatable) {
        settings->expected(1);
    }
    command.add_option("--mask", options.mask, "Stage mask, as the tool's third argument")->excludes(settings);
    command.add_option("--peak", options.peak, "Peak detection: 0 absolute, other values variable threshold")
        ->excludes(settings);
    command.add_option("--beat-method", options.beat,
                       "Beat classification: 1 template matching, 2 level-based, other values statistical")
        ->excludes(settings);
    command.add_option("--derivative", options.derivative,
                       "Derivative order: 5 the 5-point derivative, other values the 2-point one")
        ->excludes(settings);
}

}  // namespace qzkit
