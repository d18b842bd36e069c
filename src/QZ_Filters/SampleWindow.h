// SPDX-License-Identifier: Apache-2.0
// The input window of a stage with memory: the History samples before the
// current group (oldest first), followed by the current group's four samples
// as they are taken in. Outputs never enter the window; after each group it
// slides by one group.
#ifndef QZ_SAMPLE_WINDOW_H
#define QZ_SAMPLE_WINDOW_H

#include <stddef.h>

#include <utility>

#include <qz_vozozi_DE/QZ_DataStructures.h>

namespace qz {

template <typename T, size_t History>
struct SampleWindow {
    static_assert(History > 0, "a stage with memory keeps at least one earlier sample");

    T values[History + QZ_GROUP_SAMPLES];

    // The history before the start of the buffer: copies of its first sample.
    void Start(T first)
    {
        for (size_t i = 0; i < History; ++i) {
            values[i] = first;
        }
    }

    // Takes in sample j of the current group and returns the window of output
    // j: positions j .. j + History, the sample just taken in last.
    const T *Take(size_t j, T sample)
    {
        values[History + j] = sample;
        return &values[j];
    }

    // Drops the oldest group once the current group's outputs are formed.
    void Slide()
    {
        SlidePositions(std::make_index_sequence<History>{});
    }

private:
    // Positions 0..History-1 take the values of 4..History+3: one assignment
    // per position, written out, so that the compiler emits plain moves
    // instead of a library call for such a short copy.
    template <size_t... Position>
    void SlidePositions(std::index_sequence<Position...>)
    {
        ((values[Position] = values[Position + QZ_GROUP_SAMPLES]), ...);
    }
};

}  // namespace qz

#endif
