// SPDX-License-Identifier: Apache-2.0
// The program's subcommands register themselves: each subcommand's source
// file defines one static SubcommandRegistrar, and main() adds every
// registered subcommand to the command line. Adding a subcommand is adding
// one source file.
#ifndef QZKIT_SUBCOMMAND_H
#define QZKIT_SUBCOMMAND_H

#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace qzkit {

// What a subcommand runs after a successful parse; returns the exit status.
using SubcommandAction = std::function<int()>;

// Declares the subcommand's options on `command` (bound to storage the
// returned action owns) and returns the action.
using SubcommandSetup = std::function<SubcommandAction(CLI::App &command)>;

struct SubcommandEntry {
    std::string name;
    std::string description;
    SubcommandSetup setup;
};

// Where a subcommand prints its report: standard error when one of its
// outputs is "-" (standard output then carries that output), else standard
// output.
std::FILE *ReportStream(std::initializer_list<std::string> outputs);

// Every registered subcommand, sorted by name.
std::vector<SubcommandEntry> RegisteredSubcommands();

class SubcommandRegistrar {
public:
    SubcommandRegistrar(std::string name, std::string description, SubcommandSetup setup);
};

}  // namespace qzkit

#endif
