// SPDX-License-Identifier: Apache-2.0
// The floor of a whole-process run: reads the constants and the recording
// and writes the same files a default run of qz_vozozi_DE writes (five stage
// dumps, the method dump, the result record) through the same file
// operations, with no signal processing. Same command line as the tool.
#include <stdio.h>

#include <qz_vozozi_DE/Driver.h>
#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

namespace {

qz::UINT16 record[QZ_MAX_SAMPLES];
qz::BYTE constants[QZ_CONSTANTS_FILE_BYTES];

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        printf("usage: qz_floor CONSTANTS RECORD\n");
        return 1;
    }
    if (qz::hlp_readBinaryDataFile(argv[1], QZ_CONSTANTS_EXTENSION, constants, QZ_CONSTANTS_FILE_BYTES, sizeof(qz::BYTE)) != QZ_CONSTANTS_FILE_BYTES ||
        qz::hlp_readBinaryDataFile(argv[2], QZ_RECORD_EXTENSION, record, static_cast<int>(QZ_MAX_SAMPLES), sizeof(qz::UINT16)) !=
            static_cast<int>(QZ_MAX_SAMPLES)) {
        printf("Error in reading input\n");
        return 1;
    }
    for (const qz::StageDump &dump : qz::StageDumps) {
        (void)qz::hlp_writeBinaryDataFile(argv[2], dump.extension, record, static_cast<int>(QZ_MAX_SAMPLES), sizeof(qz::UINT16));
    }
    (void)qz::hlp_writeBinaryDataFile(QZ_METHOD_DUMP_NAME, QZ_METHOD_DUMP_EXTENSION, record, QZ_TM_WORDS, sizeof(qz::UINT16));
    const bool written =
        qz::hlp_writeBinaryDataFile(argv[2], QZ_RESULT_EXTENSION, record, QZ_RESULT_RECORD_WORDS, sizeof(qz::UINT16)) == QZ_RESULT_RECORD_WORDS;
    printf("BPM: %d \t\t QI: %d \n", 0, 0);
    return written ? 0 : 1;
}
