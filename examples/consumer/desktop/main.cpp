// SPDX-License-Identifier: Apache-2.0
// estimate CONSTANTS.pvx.filters.v1 RECORD.ecg: reads both files into memory,
// runs the library there with the stage dumps discarded, prints BPM and QI.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "EstimateInMemory.h"
#include "QZ_MemoryFiles.h"

namespace {

std::vector<unsigned char> ReadFile(const char *path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: estimate CONSTANTS.pvx.filters.v1 RECORD.ecg\n");
        return 2;
    }
    const std::vector<unsigned char> constants = ReadFile(argv[1]);
    const std::vector<unsigned char> bytes = ReadFile(argv[2]);
    if (constants.size() != QZ_CONSTANTS_FILE_BYTES ||
        (bytes.size() != 2u * QZ_LONG_RECORD_SAMPLES && bytes.size() != 2u * QZ_SHORT_RECORD_SAMPLES)) {
        std::fprintf(stderr, "estimate: a constants file has 31 bytes, a record 1500 or 600 16-bit samples\n");
        return 1;
    }
    std::vector<UINT16> samples(bytes.size() / 2u);
    for (std::size_t i = 0; i < samples.size(); ++i) {  // little-endian words, low 10 bits
        samples[i] = static_cast<UINT16>((bytes[2u * i] | bytes[2u * i + 1u] << 8) & 0x3FF);
    }

    qzmem::SetDiscardWrites(true);  // the in-memory file pair keeps no stage dumps
    const UINT16 result = EstimateInMemory(constants.data(), samples.data(), static_cast<UINT16>(samples.size()),
                                           "memory");
    std::printf("BPM: %u QI: %u\n", result & RESULT_BPM_MASK, static_cast<unsigned>(result >> RESULT_QI_SHIFT));
    return 0;
}
