// SPDX-License-Identifier: Apache-2.0
// The options of the commands that make recordings and constants (synth,
// convert, constants design), declared once: the program reads its command
// line with them and the workbench page reads its fields with them, so that
// both take and refuse a value alike, with the same message.
#ifndef QZKIT_COMMAND_OPTIONS_H
#define QZKIT_COMMAND_OPTIONS_H

#include <optional>
#include <string>

#include "constants/ConstantsDesign.h"
#include "convert/Convert.h"
#include "signal/Synth.h"

namespace CLI {
class App;
class Validator;
}  // namespace CLI

namespace qzkit {

// Every option of `app` and of its subcommands that takes numbers refuses an
// empty value, which would otherwise read as 0, before its other checks.
void RefuseEmptyNumbers(CLI::App &app);

// A number option's checks, with readable messages: above 0, or at least 0.
CLI::Validator AboveZero();
CLI::Validator ZeroOrMore();

// synth's wave: --kind and the shape, rate, length and seed options.
struct SynthChoices {
    SynthOptions synth;
    std::string kind = "ecg";

    SynthOptions Chosen() const;
};
void AddSynthOptions(CLI::App &command, SynthChoices &choices);

// constants design's choices (not its outputs).
void AddDesignOptions(CLI::App &design, DesignRequest &request);

// Every option of convert.
struct ConvertChoices {
    ConvertOptions convert;
    std::string input;
    std::string format = "auto";
    std::string quality = "best";
    std::string outputDirectory = ".";
    std::string annotations;
    std::string beatTimes;
    std::optional<double> gainPerUnit;

    ConvertOptions Chosen() const;
};
void AddConvertOptions(CLI::App &command, ConvertChoices &choices);

}  // namespace qzkit

#endif
