// SPDX-License-Identifier: Apache-2.0
#include "io/StageDumps.h"

#include <qz_vozozi_DE/QZ_Filters.h>

namespace qzkit {

const std::array<DumpStage, kDumpStageCount> &DumpStages()
{
    static const std::array<DumpStage, kDumpStageCount> stages{{
        {QZ_LOWPASS_EXTENSION, "low-pass", QZ_STAGE_LOWPASS},
        {QZ_HIGHPASS_EXTENSION, "high-pass", QZ_STAGE_HIGHPASS},
        {QZ_DERIVATIVE_EXTENSION, "derivative", QZ_STAGE_DERIVATIVE},
        {QZ_SQUARE_EXTENSION, "squared", QZ_STAGE_SQUARE},
        {QZ_AVERAGE_EXTENSION, "moving average (two passes)", QZ_STAGE_AVERAGE},
    }};
    return stages;
}

}  // namespace qzkit
