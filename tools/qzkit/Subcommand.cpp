// SPDX-License-Identifier: Apache-2.0
#include "Subcommand.h"

#include <algorithm>
#include <utility>

namespace qzkit {
namespace {

// Function-local so that registrars in other files may run first.
std::vector<SubcommandEntry> &Registry()
{
    static std::vector<SubcommandEntry> entries;
    return entries;
}

}  // namespace

std::FILE *ReportStream(std::initializer_list<std::string> outputs)
{
    const bool toStandardOutput = std::find(outputs.begin(), outputs.end(), "-") != outputs.end();
    return toStandardOutput ? stderr : stdout;
}

std::vector<SubcommandEntry> RegisteredSubcommands()
{
    std::vector<SubcommandEntry> entries = Registry();
    std::sort(entries.begin(), entries.end(),
              [](const SubcommandEntry &a, const SubcommandEntry &b) { return a.name < b.name; });
    return entries;
}

SubcommandRegistrar::SubcommandRegistrar(std::string name, std::string description, SubcommandSetup setup)
{
    Registry().push_back({std::move(name), std::move(description), std::move(setup)});
}

}  // namespace qzkit
