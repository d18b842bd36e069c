// SPDX-License-Identifier: Apache-2.0
// Helpers for tests that drive stages on a packed buffer.
#ifndef QZ_TEST_BUFFERS_H
#define QZ_TEST_BUFFERS_H

#include <cstdint>
#include <string>
#include <vector>

#include <qz_vozozi_DE/QZ_Filters.h>

namespace qztest {

// A packed buffer sized for the largest record, with the library geometry
// (CalcHeart_BufferLength, CalcHeart_SampleCount, SampleCount, BufferSize)
// set to match the samples it was built from.
struct PackedBuffer {
    std::vector<qz::BYTE> bytes;

    // Packs `samples` (a multiple of 4, at most 1500) and sets the geometry.
    explicit PackedBuffer(const std::vector<qz::UINT16> &samples);
    qz::BYTE *data() { return bytes.data(); }
    std::vector<qz::UINT16> unpack() const;
};

// Resets the whole library state (as at program start) before each test.
void ResetState();

// A 31-byte constants image for ECG at 250 Hz: 30..240 BPM, low-pass taps
// 1..5 with postscale 30, third-order 5 Hz high-pass.
std::vector<qz::BYTE> EcgConstantsImage();

// Deterministic pseudo-random 10-bit samples.
std::vector<qz::UINT16> RandomSamples(std::size_t count, std::uint32_t seed, qz::UINT16 maxValue = 1023);

}  // namespace qztest

#endif
