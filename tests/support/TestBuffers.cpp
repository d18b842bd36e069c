// SPDX-License-Identifier: Apache-2.0
#include "TestBuffers.h"

#include <random>
#include <stdexcept>

#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

namespace qztest {

PackedBuffer::PackedBuffer(const std::vector<qz::UINT16> &samples) : bytes(QZ_MAX_BUFFER_BYTES, 0)
{
    if (samples.size() > QZ_MAX_SAMPLES || samples.size() % QZ_GROUP_SAMPLES != 0u) {
        throw std::invalid_argument("sample count must be a multiple of 4, at most 1500");
    }
    // The stages walk any whole number of groups; the library's own run
    // set-up takes only the two record lengths, so the geometry is set here.
    qz::SampleCount = static_cast<qz::UINT16>(samples.size());
    qz::BufferSize = static_cast<qz::UINT16>(QZ_PACKED_BYTES(qz::SampleCount));
    qz::CalcHeart_BufferLength = qz::BufferSize;
    qz::CalcHeart_SampleCount = qz::SampleCount;
    qz::hlp_convertUnpackedToPacked(samples.data(), bytes.data());
}

std::vector<qz::UINT16> PackedBuffer::unpack() const
{
    std::vector<qz::UINT16> samples(QZ_MAX_SAMPLES, 0);
    qz::hlp_convertPackedToUnpacked(bytes.data(), samples.data());
    samples.resize(qz::SampleCount);
    return samples;
}

void ResetState()
{
    qz::QZ_ResetLibraryState();
}

std::vector<qz::BYTE> EcgConstantsImage()
{
    return {0xFA, 0x00, 0x00, 0x00,                                // 250 Hz, no delay cycles
            0x12, 0x83, 0x3B,                                      // Period 0.004 s
            0xF0, 0x00, 0x1E, 0x00,                                // MaxBPM 240, MinBPM 30
            0x3C,                                                  // one peak reports 60
            0x01, 0x02, 0x03, 0x04, 0x05, 0x1E,                    // taps 1..5, postscale 30
            0xEC, 0x2F, 0xC0, 0xCE, 0x21, 0x40, 0x13, 0x47, 0xBF,  // A0, A1, A2
            0x01, 0x03,                                            // B0 1, B1 3
            0x00, 0x00};
}

std::vector<qz::UINT16> RandomSamples(std::size_t count, std::uint32_t seed, qz::UINT16 maxValue)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> distribution(0, maxValue);
    std::vector<qz::UINT16> samples(count);
    for (auto &sample : samples) {
        sample = static_cast<qz::UINT16>(distribution(generator));
    }
    return samples;
}

}  // namespace qztest
