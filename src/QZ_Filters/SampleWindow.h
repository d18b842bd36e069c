// SPDX-License-Identifier: Apache-2.0
// Input window of the filters with memory: the History samples before the
// current group (oldest first), followed by the current group's four samples.
// Outputs never enter the window; after each group it slides by one group.
#ifndef QZ_SAMPLE_WINDOW_H
#define QZ_SAMPLE_WINDOW_H

#include <stddef.h>

#include <utility>

#include <qz_vozozi_DE/QZ_DataStructures.h>

namespace qz {

// Fills the first `count` positions with `value` (the history before the
// start of the buffer is taken as copies of its first sample).
template <typename T, size_t N>
inline void FillWindowStart(T (&tmpData)[N], size_t count, T value)
{
    for (size_t i = 0; i < count; ++i) {
        tmpData[i] = value;
    }
}

// Drops the oldest group: positions 0..N-5 take the values of 4..N-1. One
// assignment per position, written out, so that the compiler emits plain
// moves instead of a library call for such a short copy.
template <typename T, size_t N, size_t... Position>
inline void SlidePositions(T (&tmpData)[N], std::index_sequence<Position...>)
{
    ((tmpData[Position] = tmpData[Position + QZ_GROUP_SAMPLES]), ...);
}

template <typename T, size_t N>
inline void SlideWindow(T (&tmpData)[N])
{
    static_assert(N > QZ_GROUP_SAMPLES, "window must hold history before the current group");
    SlidePositions(tmpData, std::make_index_sequence<N - QZ_GROUP_SAMPLES>{});
}

}  // namespace qz

#endif
