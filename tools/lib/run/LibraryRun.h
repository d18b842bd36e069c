// SPDX-License-Identifier: Apache-2.0
// The heart-rate library run in-process: one call is one run of the tool,
// from the library's program-start state and configured as the command-line
// tool configures it, over the in-memory file operations (nothing is written
// to disk). The library's state is global: one run at a time.
#ifndef QZKIT_LIBRARY_RUN_H
#define QZKIT_LIBRARY_RUN_H

#include <cstdint>
#include <optional>
#include <span>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "constants/ConstantsImage.h"
#include "io/ResultRecord.h"
#include "io/StageDumps.h"

namespace qzkit {

struct LibraryRun {
    ResultWords words{};  // the result record as the tool writes it (.out)
    ResultRecord result;  // the same record, field by field
    // With stage outputs asked for: the buffer after each stage that ran (the
    // dump files), and the method dump (thresholdmethod.info) when the
    // beat-rate stage ran.
    StageOutputs stages;
    std::optional<StatisticsBlock> methodDump;
};

// Runs the tool's pipeline over `samples` (1500 or 600 16-bit words, of which
// the low 10 bits are used, as the tool packs them) with `constants` and
// `settings`. ToolkitError, with the tool's message, for another length.
LibraryRun RunLibrary(const ConstantsImage &constants, const qz::run_settings_struct &settings,
                      std::span<const std::uint16_t> samples, bool keepStageOutputs = false);

}  // namespace qzkit

#endif
