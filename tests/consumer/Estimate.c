/* SPDX-License-Identifier: Apache-2.0 */
/* A host program in C11 that estimates through the library's C interface.
 * Usage: estimate-c CONSTANTS.pvx.filters.v1 RECORD.ecg */
#include <stdio.h>

#include <qz_vozozi_DE/qz_heart_rate.h>

static size_t read_file(const char *path, void *data, size_t unit, size_t count)
{
    FILE *file = fopen(path, "rb");
    size_t read = 0;
    if (file != NULL) {
        read = fread(data, unit, count, file);
        fclose(file);
    }
    return read;
}

int main(int argc, char **argv)
{
    static uint8_t constants[QZ_CONSTANTS_FILE_BYTES + 1];
    static uint16_t samples[QZ_LONG_RECORD_SAMPLES + 1];
    qz_result result;
    if (argc != 3) {
        fprintf(stderr, "usage: estimate-c CONSTANTS.pvx.filters.v1 RECORD.ecg\n");
        return 2;
    }
    qz_status status = qz_estimate(constants, read_file(argv[1], constants, 1, sizeof constants), samples,
                                   read_file(argv[2], samples, sizeof samples[0], QZ_LONG_RECORD_SAMPLES + 1),
                                   NULL, NULL, &result);
    if (status != QZ_OK) {
        fprintf(stderr, "estimate-c: error %d\n", (int)status);
        return 1;
    }
    printf("BPM: %u QI: %u (library %s)\n", (unsigned)result.bpm, (unsigned)result.qi, qz_version());
    return 0;
}
