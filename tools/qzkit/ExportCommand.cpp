// SPDX-License-Identifier: Apache-2.0
// qzkit export: a WFDB record's samples as CSV.
#include <cstdio>
#include <memory>
#include <string>

#include "io/AtomicFile.h"
#include "io/wfdb/WfdbExport.h"
#include "Subcommand.h"

namespace qzkit {
namespace {

struct ExportCommandOptions {
    ExportOptions exportOptions;
    std::string record;
    std::string output = "-";
};

int RunExport(const ExportCommandOptions &options)
{
    const WfdbRecord record(options.record);
    std::vector<std::string> warnings;
    std::ios::sync_with_stdio(false);  // a long table goes faster to standard output
    WriteFileAtomically(options.output,
                        [&](std::ostream &stream) { ExportCsv(record, options.exportOptions, stream, warnings); });
    for (const std::string &warning : warnings) {
        std::fprintf(stderr, "qzkit export: warning: %s\n", warning.c_str());
    }
    return 0;
}

SubcommandAction SetUpExport(CLI::App &command)
{
    auto options = std::make_shared<ExportCommandOptions>();
    ExportOptions &exportOptions = options->exportOptions;
    command.add_option("record", options->record, "WFDB record: its header (.hea) or its name")->required();
    command.add_option("--channel", exportOptions.channels,
                       "Signal by description or index (repeatable; default: all)");
    command.add_option("--from", exportOptions.from, "Start: seconds, or a frame number as s123 (default: the start)");
    command.add_option("--to", exportOptions.to, "End (exclusive): seconds, or s123 (default: the end)");
    command.add_flag("--digital", exportOptions.digital, "ADC units instead of physical units");
    command.add_flag("--high-resolution", exportOptions.highResolution,
                     "Every sample of an oversampled signal (others repeat within their frame); "
                     "default: one row per frame, the frame mean");
    command.add_option("--max-rows", exportOptions.maxRows,
                       "Most rows written; a longer span is refused before anything is written (0: no bound)")
        ->capture_default_str();
    command.add_option("-o,--output", options->output, "Output CSV file, or - for standard output")
        ->capture_default_str();
    return [options] { return RunExport(*options); };
}

const SubcommandRegistrar registrar{"export", "Write a WFDB record's samples as CSV (time_s and one column per signal)",
                                    SetUpExport};

}  // namespace
}  // namespace qzkit
