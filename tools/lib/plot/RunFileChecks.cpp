// SPDX-License-Identifier: Apache-2.0
#include "plot/RunFileChecks.h"

#include <string>

#include "ToolkitError.h"
#include "plot/RunStages.h"

namespace qzkit {
namespace {

// What the figure indexes: every signal as long as the recording (at least
// two samples), every stored peak location inside it.
void CheckRunShape(const RunFiles &files)
{
    const std::size_t sampleCount = files.recording.size();
    if (sampleCount < 2) {
        throw ToolkitError(files.recordName + ": a recording of " + std::to_string(sampleCount) +
                           " samples cannot be drawn");
    }
    for (std::size_t stage = 0; stage < kDumpStageCount; ++stage) {
        if (files.dumps[stage] && files.dumps[stage]->size() != sampleCount) {
            throw ToolkitError(files.recordName + DumpStages()[stage].extension + ": " +
                               std::to_string(files.dumps[stage]->size()) + " samples, the recording has " +
                               std::to_string(sampleCount));
        }
    }
    for (const std::uint16_t location : files.result.peakLocations) {
        if (location > sampleCount) {
            throw ToolkitError(files.recordName + ".out: peak location " + std::to_string(location) +
                               " lies beyond the " + std::to_string(sampleCount) +
                               "-sample recording (a result of another run?)");
        }
    }
}

// A stage the mask runs must have left its dump; one it does not run may have
// left an older one, which is not shown.
void CheckDumpsAgainstMask(const RunFiles &files, const RunSettings &settings)
{
    if (!settings.mask) {
        return;
    }
    for (std::size_t stage = 0; stage < kDumpStageCount; ++stage) {
        if (StageRan(files, settings, stage) && !files.dumps[stage]) {
            throw ToolkitError(files.recordName + DumpStages()[stage].extension + " is missing although mask " +
                               std::to_string(*settings.mask) + " runs the " + DumpStages()[stage].label + " stage");
        }
    }
}

}  // namespace

void CheckRunFiles(const RunFiles &files, const RunSettings &settings)
{
    CheckRunShape(files);
    CheckDumpsAgainstMask(files, settings);
}

}  // namespace qzkit
