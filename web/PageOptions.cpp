// SPDX-License-Identifier: Apache-2.0
#include "PageOptions.h"

#include <memory>

#include <CLI/CLI.hpp>

#include "ToolkitError.h"

namespace qzw {
namespace {

// The options of `command` bound to `choices`.
std::unique_ptr<CLI::App> CommandApp(const std::string &command, PageChoices &choices)
{
    auto app = std::make_unique<CLI::App>("", command);
    if (command == "synth") {
        qzkit::AddSynthOptions(*app, choices.synth);
    } else if (command == "design") {
        qzkit::AddDesignOptions(*app, choices.design);
    } else if (command == "convert") {
        qzkit::AddConvertOptions(*app, choices.convert);
    } else {
        throw qzkit::ToolkitError("the page runs no command '" + command + "'");
    }
    qzkit::RefuseEmptyNumbers(*app);
    return app;
}

}  // namespace

void ReadArguments(PageChoices &choices, int argc, const char *const *argv)
{
    const std::unique_ptr<CLI::App> app = CommandApp(argc > 0 ? argv[0] : "", choices);
    try {
        app->parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        throw qzkit::ToolkitError(error.what());
    }
}

std::string OptionRefusal(const std::string &command, const std::string &option, const std::string &text)
{
    PageChoices choices;
    const std::unique_ptr<CLI::App> app = CommandApp(command, choices);
    try {
        CLI::Option *chosen = app->get_option(option);
        chosen->add_result(text);
        chosen->run_callback();
        return {};
    } catch (const CLI::Error &error) {
        return error.what();
    }
}

std::vector<std::pair<std::string, std::string>> OptionDefaults(const std::string &command)
{
    PageChoices choices;
    const std::unique_ptr<CLI::App> app = CommandApp(command, choices);
    std::vector<std::pair<std::string, std::string>> defaults;
    for (const CLI::Option *option : app->get_options()) {
        if (!option->get_lnames().empty()) {
            defaults.emplace_back(option->get_name(), option->get_default_str());
        }
    }
    return defaults;
}

}  // namespace qzw
