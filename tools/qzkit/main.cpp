// SPDX-License-Identifier: Apache-2.0
// qzkit: companion program of the heart-rate tool. Each subcommand lives in
// its own source file and registers itself (Subcommand.h); the outputs of a
// run are put in place together when it succeeds (io/AtomicFile.h).
//
// Exit status: qzkit::ExitStatus (Subcommand.h).
#include <csignal>
#include <cstdio>
#include <exception>
#include <map>
#include <new>

#include "CommandOptions.h"
#include "io/AtomicFile.h"
#include "Subcommand.h"

// Setting up the options throws only when memory runs out, where ending is right.
int main(int argc, char **argv)  // NOLINT(bugprone-exception-escape)
{
    CLI::App app{"qzkit: make synthetic recordings, describe and export WFDB records, convert recordings to the "
                 "heart-rate tool's format, evaluate the estimator against reference beats, run the heart-rate-meter "
                 "test battery, make and check constants files, draw pictures of a run, and watch a live sensor "
                 "stream or check a firmware's results."};
    app.set_version_flag("--version", "qzkit " QZ_VERSION_NUMBER);
    app.require_subcommand(1);
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe is a write error, reported like a full disk
    std::map<const CLI::App *, qzkit::SubcommandAction> actions;
    bool replaceProtected = false;
    for (const qzkit::SubcommandEntry &entry : qzkit::RegisteredSubcommands()) {
        CLI::App *command = app.add_subcommand(entry.name, entry.description);
        actions[command] = entry.setup(*command);
        command->add_flag("--force", replaceProtected, "Replace output files that are write-protected");
        for (CLI::App *part : command->get_subcommands({})) {
            part->fallthrough();  // `constants make ... --force`
        }
    }
    qzkit::RefuseEmptyNumbers(app);
    app.footer(qzkit::kExitStatusText);  // after the subcommands, which would inherit it
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        const int status = app.exit(error);  // --help, --version or a usage error
        try {
            qzkit::FinishStandardOutput();
        } catch (const std::exception &lost) {
            std::fprintf(stderr, "qzkit: error: %s\n", lost.what());
            return qzkit::kExitError;
        }
        return status == 0 ? qzkit::kExitDone : qzkit::kExitError;
    }
    const CLI::App *chosen = app.get_subcommands().front();
    try {
        qzkit::OutputPlan outputs(replaceProtected);
        const int status = actions.at(chosen)();
        qzkit::FinishStandardOutput();
        outputs.Commit();
        return status;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "qzkit %s: error: not enough memory\n", chosen->get_name().c_str());
        return qzkit::kExitError;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "qzkit %s: error: %s\n", chosen->get_name().c_str(), error.what());
        return qzkit::kExitError;
    }
}
