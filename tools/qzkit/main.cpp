// qzkit: companion program of the heart-rate tool. Each subcommand lives in
// its own source file and registers itself (Subcommand.h).
#include <cstdio>
#include <exception>
#include <map>

#include "Subcommand.h"

int main(int argc, char **argv)
{
    CLI::App app{"qzkit: make synthetic recordings, describe and export WFDB records, convert recordings to the "
                 "heart-rate tool's format, evaluate the estimator against reference beats, run the heart-rate-meter "
                 "test battery, make and check constants files, and draw pictures of a run."};
    app.set_version_flag("--version", "qzkit " QZ_VERSION_NUMBER);
    app.require_subcommand(1);
    std::map<const CLI::App *, qzkit::SubcommandAction> actions;
    for (const qzkit::SubcommandEntry &entry : qzkit::RegisteredSubcommands()) {
        CLI::App *command = app.add_subcommand(entry.name, entry.description);
        actions[command] = entry.setup(*command);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        return app.exit(error);
    }
    const CLI::App *chosen = app.get_subcommands().front();
    try {
        return actions.at(chosen)();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "qzkit %s: error: %s\n", chosen->get_name().c_str(), error.what());
        return 1;
    }
}
