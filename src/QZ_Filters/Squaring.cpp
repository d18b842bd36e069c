// SPDX-License-Identifier: Apache-2.0
// Squaring as a stage of its own: one walk over the buffer.
#include "Squaring.h"

#include <qz_vozozi_DE/QZ_Filters.h>

#include "StageWalk.h"

namespace qz {

// Scales and squares every sample in place (see SquareStage). A sample above
// maxval saturates at v = 1023.
void SquareScale(BYTE *BufferPtr, UINT16 maxval)
{
    SquareStage stage = SquareSetUp(maxval);
    WalkStages(BufferPtr, stage);
}

}  // namespace qz
