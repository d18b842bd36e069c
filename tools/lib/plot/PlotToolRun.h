// From recording to picture in one step: runs the heart-rate tool on copies
// of the inputs in a temporary directory and reads what the run left there.
#ifndef QZKIT_PLOT_TOOL_RUN_H
#define QZKIT_PLOT_TOOL_RUN_H

#include <filesystem>

#include "plot/PlotFigure.h"
#include "plot/PlotInputs.h"

namespace qzkit {

struct ToolRunRequest {
    std::filesystem::path tool;
    std::filesystem::path record;     // record base name (BASE.ecg is read)
    std::filesystem::path constants;  // constants base name (BASE.pvx.filters.v1 is read)
    RunSettings settings;             // every setting present
    double timeLimitSeconds = 10.0;   // wall-clock time the tool may take
};

// Copies the two inputs into a fresh temporary directory under their own
// names, runs the tool there (log level 0), reads the files it left (as
// ReadRunFiles) and removes the directory again, on every way out: also when
// the tool fails, takes longer than its time limit (it is stopped), or this
// program is interrupted, hung up or asked to terminate meanwhile. Throws
// ToolkitError when the tool cannot be started, ends with a non-zero status
// (the message carries its last output line) or is stopped.
RunFiles RunToolAndRead(const ToolRunRequest &request);

// The heart-rate tool: `given` when not empty; otherwise qz_vozozi_DE in the
// directory of `companion` (this program), in the directory above it (the
// build tree), or on PATH. Throws ToolkitError when none is found.
std::filesystem::path FindTool(const std::filesystem::path &given, const std::filesystem::path &companion);

}  // namespace qzkit

#endif
