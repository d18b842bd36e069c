// SPDX-License-Identifier: Apache-2.0
#include "plot/RunStages.h"

namespace qzkit {

bool StageRan(const RunFiles &files, const RunSettings &settings, std::size_t stage)
{
    if (settings.mask) {
        return (*settings.mask & DumpStages()[stage].maskBit) != 0;
    }
    return files.dumps[stage].has_value();
}

bool MaskRuns(const RunSettings &settings, std::uint16_t bit)
{
    return !settings.mask || (*settings.mask & bit) != 0;
}

std::uint16_t StagesRun(const RunFiles &files, const RunSettings &settings)
{
    std::uint16_t mask = 0;
    for (std::size_t stage = 0; stage < kDumpStageCount; ++stage) {
        if (StageRan(files, settings, stage)) {
            mask = static_cast<std::uint16_t>(mask | DumpStages()[stage].maskBit);
        }
    }
    return mask;
}

}  // namespace qzkit
