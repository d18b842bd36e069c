// SPDX-License-Identifier: Apache-2.0
// The commands the page runs (synth, constants design, convert) read from an
// argument list with the program's own option declarations, so that a field
// is taken or refused as the command line takes or refuses it.
#ifndef QZW_PAGE_OPTIONS_H
#define QZW_PAGE_OPTIONS_H

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "CommandOptions.h"

namespace qzw {

struct PageChoices {
    qzkit::SynthChoices synth;
    qzkit::DesignRequest design;
    qzkit::ConvertChoices convert;
};

// The options of `command` ("synth", "design" or "convert") bound to `choices`.
std::unique_ptr<CLI::App> CommandApp(const std::string &command, PageChoices &choices);

// Reads `argv` (argv[0] the command's name) into `choices`; ToolkitError with
// the command line's message otherwise.
void ReadArguments(PageChoices &choices, int argc, const char *const *argv);

// The command line's message for `text` as the value of `option` of
// `command`; empty when it takes it.
std::string OptionRefusal(const std::string &command, const std::string &option, const std::string &text);

}  // namespace qzw

#endif
