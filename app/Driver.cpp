// SPDX-License-Identifier: Apache-2.0
// Command-line driver: usage and version queries, argument echo and settings,
// reading the constants and the record, the pipeline call, the result line
// and the result record.
#include <qz_vozozi_DE/Driver.h>

#include <stdio.h>
#include <string.h>

#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>

namespace qz {

UINT16 ECGrecord[QZ_MAX_SAMPLES];
BYTE LargeHeartBuffer[QZ_MAX_BUFFER_BYTES];
BYTE HeartSamplingFromFile[QZ_CONSTANTS_FILE_BYTES];
const char str_pc_filter_version[QZ_VERSION_TEXT_BYTES] = "qz_vozozi_DE Version " QZ_VERSION_NUMBER;

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_ERROR = 1;

void PrintUsage(void)
{
    printf("%s\n", str_pc_filter_version);
    printf("Takes arguments in the following order\n");
    printf("\t1: Filter Constants binary file \n");
    printf("\t2: ECG Record in binary file  \n");
    printf("\t3: Filter Mask  \n");
    printf("\t4: Peak Detection Method  \n");
    printf("\t5: Beat Classification Method  \n");
    printf("\t6: Derivative Order  \n");
    printf("\t7: Log Level \n");
}

bool IsVersionQuery(const char *argument)
{
    const char str_version_query_1[15] = "--version";
    const char str_version_query_2[15] = "-V";
    const char str_version_query_3[15] = "-v";
    return strcmp(argument, str_version_query_1) == 0 || strcmp(argument, str_version_query_2) == 0 ||
           strcmp(argument, str_version_query_3) == 0;
}

void EchoArguments(int argc, char **argv)
{
    printf("main invoked with %d arguments:\t", argc);
    for (int i = 0; i < argc; ++i) {
        printf("%s\t", argv[i]);
    }
    printf("\n");
}

run_settings_struct ReadSettings(int argc, char **argv)
{
    run_settings_struct settings;
    if (argc > 3) settings.StageMask = QZ_ParseSetting(argv[3]);
    if (argc > 4) settings.PeakDetection = QZ_ParseSetting(argv[4]);
    if (argc > 5) settings.BeatMethod = QZ_ParseSetting(argv[5]);
    if (argc > 6) settings.DerivativeOrder = QZ_ParseSetting(argv[6]);
    settings.DerivativeOrder = QZ_DerivativeOrder(settings.DerivativeOrder);
    if (argc > 7) LogLevel = QZ_ParseSetting(argv[7]);
    return settings;
}

// Any non-zero peak-detection value selects the variable threshold.
void LogSettings(const run_settings_struct &settings)
{
    printf("filterMask is %d\n", settings.StageMask);
    printf(settings.PeakDetection == 0u ? "peakDetection is Absolute threshold\n"
                                        : "peakDetection is Variable threshold\n");
    printf("beatMethod is %d\n", settings.BeatMethod);
    printf("Using %d point derivative\n", settings.DerivativeOrder);
    printf("Running with LogLevel %d\n", LogLevel);
}

bool ReadConstants(const char *filterConstants)
{
    const UINT16 count = static_cast<UINT16>(hlp_readBinaryDataFile(
        filterConstants, QZ_CONSTANTS_EXTENSION, HeartSamplingFromFile, QZ_CONSTANTS_FILE_BYTES, sizeof(BYTE)));
    if (count != QZ_CONSTANTS_FILE_BYTES) {
        printf("Error in reading filter input, read %d\n", count);
        return false;
    }
    hlp_convertSamplingTo64bitFloat(HeartSamplingFromFile, &HeartSampling);
    return true;
}

void ReportRecordError(UINT16 count)
{
    printf("Error in reading record input, read %d\n", count);
}

// Reads the long record's length (a longer file is cut there) or exactly the
// short one's, and prepares the run for it.
bool ReadRecord(const char *recordName, const run_settings_struct &settings)
{
    const UINT16 count = static_cast<UINT16>(hlp_readBinaryDataFile(
        recordName, QZ_RECORD_EXTENSION, ECGrecord, static_cast<int>(QZ_LONG_RECORD_SAMPLES), sizeof(UINT16)));
    if ((count != QZ_LONG_RECORD_SAMPLES && count != QZ_SHORT_RECORD_SAMPLES) || !QZ_PrepareRun(count, &settings)) {
        ReportRecordError(count);
        return false;
    }
    return true;
}

bool WriteResultRecord(const char *recordName)
{
    const UINT16 count = static_cast<UINT16>(hlp_writeBinaryDataFile(
        recordName, QZ_RESULT_EXTENSION, ECGrecord, static_cast<int>(QZ_RESULT_RECORD_WORDS), sizeof(UINT16)));
    if (count != QZ_RESULT_RECORD_WORDS) {
        printf("Error in writing output, wrote %d\n", count);
        return false;
    }
    return true;
}

}  // namespace

void QZ_ResetDriverState(void)
{
    memset(ECGrecord, 0, sizeof ECGrecord);
    memset(LargeHeartBuffer, 0, sizeof LargeHeartBuffer);
    memset(HeartSamplingFromFile, 0, sizeof HeartSamplingFromFile);
    QZ_ResetLibraryState();
}

int QZ_RunDriver(int argc, char **argv)
{
    if (argc <= 1) {
        PrintUsage();
        return EXIT_OK;
    }
    if (IsVersionQuery(argv[1])) {
        printf("%s", str_pc_filter_version);
        return EXIT_OK;
    }
    EchoArguments(argc, argv);
    const run_settings_struct settings = ReadSettings(argc, argv);
    LogSettings(settings);

    if (!ReadConstants(argv[1])) {
        return EXIT_ERROR;
    }
    if (argc < 3) {
        // No record name: nothing named after it is opened.
        ReportRecordError(0);
        return EXIT_ERROR;
    }
    const char *recordName = argv[2];
    if (!ReadRecord(recordName, settings)) {
        return EXIT_ERROR;
    }
    hlp_convertUnpackedToPacked(ECGrecord, LargeHeartBuffer);

    const BYTE Selector = static_cast<BYTE>(settings.StageMask & 0xFFu);
    const UINT16 result = CalculateHeartRate(LargeHeartBuffer, Selector, recordName);
    printf("BPM: %d \t\t QI: %d \n", static_cast<int>(result & QZ_RESULT_BPM_MASK), static_cast<int>(result >> QZ_RESULT_QI_SHIFT));

    QZ_AssembleResultRecord(result, ECGrecord);
    return WriteResultRecord(recordName) ? EXIT_OK : EXIT_ERROR;
}

}  // namespace qz
