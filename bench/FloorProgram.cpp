// SPDX-License-Identifier: Apache-2.0
// The floor of a whole-process run: reads the constants and the recording
// and writes the same files a default run of qz_vozozi_DE writes (five stage
// dumps, the method dump, the result record) through the same file
// operations, with no signal processing. Same command line as the tool.
#include <stdio.h>

#include "Driver.h"
#include "QZ_Helpers.h"
#include "QZ_Library_Configuration.h"

namespace {

UINT16 record[QZ_MAX_SAMPLES];
BYTE constants[QZ_CONSTANTS_FILE_BYTES];

const char *const kStageDumps[] = {".lowpass", ".highpass", ".derivative", ".square", ".average"};

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        printf("usage: qz_floor CONSTANTS RECORD\n");
        return 1;
    }
    if (hlp_readBinaryDataFile(argv[1], ".pvx.filters.v1", constants, QZ_CONSTANTS_FILE_BYTES, sizeof(BYTE)) != QZ_CONSTANTS_FILE_BYTES ||
        hlp_readBinaryDataFile(argv[2], ".ecg", record, static_cast<int>(QZ_MAX_SAMPLES), sizeof(UINT16)) !=
            static_cast<int>(QZ_MAX_SAMPLES)) {
        printf("Error in reading input\n");
        return 1;
    }
    for (const char *extension : kStageDumps) {
        (void)hlp_writeBinaryDataFile(argv[2], extension, record, static_cast<int>(QZ_MAX_SAMPLES), sizeof(UINT16));
    }
    (void)hlp_writeBinaryDataFile("thresholdmethod", ".info", record, QZ_TM_WORDS, sizeof(UINT16));
    const bool written =
        hlp_writeBinaryDataFile(argv[2], ".out", record, QZ_RESULT_RECORD_WORDS, sizeof(UINT16)) == QZ_RESULT_RECORD_WORDS;
    printf("BPM: %d \t\t QI: %d \n", 0, 0);
    return written ? 0 : 1;
}
