// SPDX-License-Identifier: Apache-2.0
// estimate CONSTANTS.pvx.filters.v1 RECORD.ecg: reads both files into memory,
// runs the library there through its C interface (no record name: nothing is
// written) and prints BPM and QI.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include <qz_vozozi_DE/qz_heart_rate.h>

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
    std::vector<std::uint16_t> samples(bytes.size() / 2u);
    for (std::size_t i = 0; i < samples.size(); ++i) {  // little-endian words
        samples[i] = static_cast<std::uint16_t>(bytes[2u * i] | bytes[2u * i + 1u] << 8);
    }
    qz_result result;
    const qz_status status =
        qz_estimate(constants.data(), constants.size(), samples.data(), samples.size(), nullptr, nullptr, &result);
    if (status != QZ_OK) {
        std::fprintf(stderr, "estimate: a constants file has 31 bytes, a record 1500 or 600 samples (error %d)\n",
                     static_cast<int>(status));
        return 1;
    }
    std::printf("BPM: %u QI: %u\n", static_cast<unsigned>(result.bpm), static_cast<unsigned>(result.qi));
    return 0;
}
