// SPDX-License-Identifier: Apache-2.0
// A host program in C++ that defines, for itself, the names the library's
// own once took (LogLevel, Filter, Peak, Median, UINT32) and has a Driver.h
// of its own, and estimates through the library's C++ interface.
// Usage: collisions CONSTANTS.pvx.filters.v1 RECORD.ecg
#include <cstdio>

#include "Driver.h"

typedef unsigned long UINT32;
int LogLevel = 0;
int Filter[3] = {1, 2, 1};
int Peak = 0;
int Median(int value)
{
    return value;
}

#include <qz_vozozi_DE/Driver.h>
#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

static_assert(HOST_DRIVER_HEADER == 1, "the host's Driver.h");
static_assert(sizeof(UINT32) == sizeof(unsigned long), "the host's UINT32");

namespace {

qz::UINT16 samples[QZ_MAX_SAMPLES];
qz::BYTE packed[QZ_MAX_BUFFER_BYTES];
qz::BYTE constants[QZ_CONSTANTS_FILE_BYTES];

std::size_t ReadFile(const char *path, void *data, std::size_t unit, std::size_t count)
{
    std::FILE *file = std::fopen(path, "rb");
    if (file == nullptr) {
        return 0;
    }
    const std::size_t read = std::fread(data, unit, count, file);
    std::fclose(file);
    return read;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3 || ReadFile(argv[1], constants, 1, sizeof constants) != sizeof constants) {
        std::fprintf(stderr, "usage: collisions CONSTANTS.pvx.filters.v1 RECORD.ecg\n");
        return 2;
    }
    const auto count = static_cast<qz::UINT16>(ReadFile(argv[2], samples, sizeof samples[0], QZ_MAX_SAMPLES));
    const qz::run_settings_struct settings;
    qz::QZ_ResetLibraryState();
    if (!qz::QZ_PrepareRun(count, &settings)) {
        std::fprintf(stderr, "collisions: the library refuses %u samples\n", static_cast<unsigned>(count));
        return 1;
    }
    qz::hlp_convertSamplingTo64bitFloat(constants, &qz::HeartSampling);
    qz::hlp_convertUnpackedToPacked(samples, packed);
    const qz::UINT16 word = qz::CalculateHeartRate(packed, static_cast<qz::BYTE>(settings.StageMask), nullptr);
    std::printf("BPM: %u QI: %u\n", word & QZ_RESULT_BPM_MASK, static_cast<unsigned>(word >> QZ_RESULT_QI_SHIFT));
    return Median(LogLevel + Peak + Filter[0] - 1);
}
