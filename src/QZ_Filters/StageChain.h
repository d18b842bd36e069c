// SPDX-License-Identifier: Apache-2.0
// Walks the packed buffer once and runs one or more consecutive in-place
// stages on each group: the group is read, passed through the stages in
// pipeline order and written back. Squaring and the two moving averages are
// built this way, so that they share one walk when no dump is written between
// them; the filters before them keep a walk each (chained too, their windows
// no longer fit the registers and the walk measured no faster).
//
// A stage object keeps its own window of the inputs before the current group
// and turns the group's four inputs into its four outputs (Start sets up the
// window from the stage's first group, just before its first Step). It reads
// nothing of the buffer but the current group, which the stages before it
// have already replaced, so it sees the same inputs as when it walks alone
// over the buffer the earlier stages left. Every stage's outputs lie in
// 0..1023, so the packing between two walks keeps them whole: a chain of
// stages writes the same bytes as the stages one after another.
#ifndef QZ_STAGE_CHAIN_H
#define QZ_STAGE_CHAIN_H

#include <qz_vozozi_DE/QZ_Filters.h>

#include "PackedGroup.h"

namespace qz {

// One stage's turn on the group at `offset`.
template <typename Stage>
[[gnu::always_inline]] inline void StepStage(Stage &stage, UINT16 *group, UINT16 offset)
{
    if (offset == 0u) {
        stage.Start(group);
    }
    stage.Step(group, offset);
}

// Groups are taken from byte 0 while the offset is below CalcHeart_BufferLength.
// Always inlined, and the stages must be the caller's locals: the buffer's
// byte stores cannot alias them, so their windows and settings can stay in
// registers.
template <typename... Stage>
[[gnu::always_inline]] inline void RunStageChain(BYTE *BufferPtr, Stage &...stages)
{
    const UINT16 length = CalcHeart_BufferLength;
    for (UINT16 offset = 0; offset < length; offset = static_cast<UINT16>(offset + QZ_GROUP_BYTES)) {
        UINT16 group[QZ_GROUP_SAMPLES];
        ReadGroupAt(BufferPtr, offset, group);
        (StepStage(stages, group, offset), ...);
        WriteGroupAt(BufferPtr, offset, group);
    }
}

}  // namespace qz

#endif
