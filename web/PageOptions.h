// SPDX-License-Identifier: Apache-2.0
// The commands the page runs (synth, constants design, convert) read from an
// argument list with the program's own option declarations, so that a field
// is taken or refused as the command line takes or refuses it.
#ifndef QZW_PAGE_OPTIONS_H
#define QZW_PAGE_OPTIONS_H

#include <string>
#include <utility>
#include <vector>

#include "CommandOptions.h"

namespace qzw {

struct PageChoices {
    qzkit::SynthChoices synth;
    qzkit::DesignRequest design;
    qzkit::ConvertChoices convert;
};

// Reads `argv` (argv[0] the command: "synth", "design" or "convert") into
// `choices`; ToolkitError with the command line's message otherwise.
void ReadArguments(PageChoices &choices, int argc, const char *const *argv);

// The command line's message for `text` as the value of `option` of
// `command`; empty when it takes it.
std::string OptionRefusal(const std::string &command, const std::string &option, const std::string &text);

// Every named option of `command` with its default ("" when it has none).
std::vector<std::pair<std::string, std::string>> OptionDefaults(const std::string &command);

}  // namespace qzw

#endif
