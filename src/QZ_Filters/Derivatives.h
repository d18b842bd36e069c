// SPDX-License-Identifier: Apache-2.0
// Squaring, the slope-energy stage that shares the moving averages' walk
// when no dump is written between them. One group at a time, for
// StageChain.h.
#ifndef QZ_DERIVATIVES_H
#define QZ_DERIVATIVES_H

#include "PackedGroup.h"

namespace qz {

constexpr float SQUARE_FULL_SCALE = 1023.0f;
constexpr int SQUARE_DIVISOR = 1024;
constexpr float SQUARE_SATURATION = 1024.0f;  // a product from here on gives v = 1023

// Scales every sample so that maxval maps to 1023 (factor 1023 / maxval in
// float) and squares it back into 0..1022: v = trunc(s * factor) in single
// precision, saturated at 1023, output v * v / 1024 rounded down. The factor
// is 0 (maxval 0, every output 0) or lies in (0, 1023], so the product is
// finite and not negative: the saturation is the only limit that can apply.
// A default SquareStage leaves its input alone, so that the moving averages
// run in the same walk with or without it (see SquareAndAverages).
struct SquareStage {
    bool applied = false;
    float factor = 0.0f;

    void Start(const UINT16 *) {}

    void Step(UINT16 *group, UINT16) const
    {
        if (!applied) {
            return;
        }
        #pragma GCC unroll 4  // see PackedGroup.h
        for (BYTE i = 0; i < QZ_GROUP_SAMPLES; ++i) {
            const float p = static_cast<float>(group[i]) * factor;
            const INT32 v = (p >= SQUARE_SATURATION) ? static_cast<INT32>(QZ_SAMPLE_MAX) : static_cast<INT32>(p);
            group[i] = static_cast<UINT16>((v * v) / SQUARE_DIVISOR);
        }
    }
};

// The squaring stage for this largest derivative output.
inline SquareStage SquareSetUp(UINT16 maxval)
{
    SquareStage stage;
    stage.applied = true;
    stage.factor = (maxval == 0u) ? 0.0f : SQUARE_FULL_SCALE / static_cast<float>(maxval);
    return stage;
}

}  // namespace qz

#endif
