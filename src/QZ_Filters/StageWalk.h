// SPDX-License-Identifier: Apache-2.0
// The stage walk: the one loop over the packed buffer that every in-place
// per-sample stage runs in. Each group is read once, passed through the
// stages in pipeline order and written back once.
//
// A stage is a small object: Start(group) sets up what it keeps between
// groups (its window of earlier inputs) from the first group it sees, just
// before its first Step; Step(group, offset) turns the group's four inputs
// into its four outputs in place. A stage reads nothing of the buffer but the
// current group, which the stages before it have already replaced, so it sees
// the same inputs as when it walks alone over the buffer the earlier stages
// left. Every stage's outputs lie in 0..1023, so the packing between two walks
// keeps them whole: a walk of several stages writes the same bytes as one walk
// per stage. Which stages share a walk is the caller's choice: squaring and
// the two moving averages do; the filters before them walk alone (together
// their windows no longer fit the registers, and the walk measured slower).
#ifndef QZ_STAGE_WALK_H
#define QZ_STAGE_WALK_H

#include <qz_vozozi_DE/QZ_Filters.h>

#include "PackedGroup.h"

namespace qz {

// A later stage's turn on the group at `offset`: its first group is the
// first stage's output, so it starts inside the walk.
template <typename Stage>
[[gnu::always_inline]] inline void StepLaterStage(Stage &stage, UINT16 *group, UINT16 offset)
{
    if (offset == 0u) {
        stage.Start(group);
    }
    stage.Step(group, offset);
}

// Groups are taken from byte 0 while the offset is below CalcHeart_BufferLength
// (an empty buffer is not read at all). The first stage starts from the
// buffer's first group before the loop, so that its window is set up once,
// outside it: the loop then keeps it in registers as a hand-written walk
// would. Always inlined, and the stages must be the caller's locals: the
// buffer's byte stores cannot alias them, so their windows and settings can
// stay in registers.
template <typename First, typename... Later>
[[gnu::always_inline]] inline void WalkStages(BYTE *BufferPtr, First &first, Later &...later)
{
    const UINT16 length = CalcHeart_BufferLength;
    UINT16 group[QZ_GROUP_SAMPLES];
    if (length != 0u) {
        ReadGroupAt(BufferPtr, 0, group);
        first.Start(group);
    }
    for (UINT16 offset = 0; offset < length; offset = static_cast<UINT16>(offset + QZ_GROUP_BYTES)) {
        ReadGroupAt(BufferPtr, offset, group);
        first.Step(group, offset);
        (StepLaterStage(later, group, offset), ...);
        WriteGroupAt(BufferPtr, offset, group);
    }
}

}  // namespace qz

#endif
