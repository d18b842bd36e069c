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

// The program's exit status, and the text that tells it (the end of --help,
// and so the EXIT STATUS section of the manual page).
enum ExitStatus : int {
    kExitDone = 0,
    kExitCaseFailed = 1,  // a graded conformance case failed, or monitor --check found a differing window
    kExitError = 2,       // a usage or input error: one line on standard error, no output file touched
    kExitNoFeasiblePoint = 3,  // a constants search where no point met the requirements
};
inline constexpr const char *kExitStatusText =
    "Exit status:\n"
    "  0  done\n"
    "  1  a graded case of the conformance battery failed, or monitor --check found a window\n"
    "     the firmware computed otherwise\n"
    "  2  a command line that cannot be parsed, or an input or output error: one line on\n"
    "     standard error names the problem, and no output file is touched\n"
    "  3  qzkit constants tune: no point met the requirements (the best of the others is\n"
    "     written)\n";

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
