#include "io/StageDumps.h"

#include "QZ_Filters.h"

namespace qzkit {

const std::array<DumpStage, kDumpStageCount> &DumpStages()
{
    static const std::array<DumpStage, kDumpStageCount> stages{{
        {".lowpass", "low-pass", QZ_STAGE_LOWPASS},
        {".highpass", "high-pass", QZ_STAGE_HIGHPASS},
        {".derivative", "derivative", QZ_STAGE_DERIVATIVE},
        {".square", "squared", QZ_STAGE_SQUARE},
        {".average", "moving average (two passes)", QZ_STAGE_AVERAGE},
    }};
    return stages;
}

}  // namespace qzkit
