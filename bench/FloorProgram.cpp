// SPDX-License-Identifier: Apache-2.0
// The floor of a whole-process run: reads the constants and the recording
// and writes the same files a default run of qz_vozozi_DE writes (five stage
// dumps, the method dump, the result record) through the same file
// operations, with no signal processing. Same command line as the tool.
#include <stdio.h>

#include <qz_vozozi_DE/Driver.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

namespace {

qz::UINT16 record[QZ_MAX_SAMPLES];
qz::BYTE constants[QZ_CONSTANTS_FILE_BYTES];

const char *const kStageDumps[] = {".lowpass", ".highpass", ".derivative", ".square", ".average"};

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        printf("usage: qz_floor CONSTANTS RECORD\n");
        return 1;
    }
    if (qz::hlp_readBinaryDataFile(argv[1], ".pvx.filters.v1", constants, QZ_CONSTANTS_FILE_BYTES, sizeof(qz::BYTE)) != QZ_CONSTANTS_FILE_BYTES ||
        qz::hlp_readBinaryDataFile(argv[2], ".ecg", record, static_cast<int>(QZ_MAX_SAMPLES), sizeof(qz::UINT16)) !=
            static_cast<int>(QZ_MAX_SAMPLES)) {
        printf("Error in reading input\n");
        return 1;
    }
    for (const char *extension : kStageDumps) {
        (void)qz::hlp_writeBinaryDataFile(argv[2], extension, record, static_cast<int>(QZ_MAX_SAMPLES), sizeof(qz::UINT16));
    }
    (void)qz::hlp_writeBinaryDataFile("thresholdmethod", ".info", record, QZ_TM_WORDS, sizeof(qz::UINT16));
    const bool written =
        qz::hlp_writeBinaryDataFile(argv[2], ".out", record, QZ_RESULT_RECORD_WORDS, sizeof(qz::UINT16)) == QZ_RESULT_RECORD_WORDS;
    printf("BPM: %d \t\t QI: %d \n", 0, 0);
    return written ? 0 : 1;
}
