// The command-line driver: one command line, one pipeline run.
#ifndef QZ_DRIVER_H
#define QZ_DRIVER_H

#include "GenericTypeDefs.h"
#include "QZ_DataStructures.h"
#include "QZ_Library_Configuration.h"

#define QZ_RESULT_RECORD_WORDS 43u
#define QZ_RESULT_PEAKS_START 4u      // the published peak locations
#define QZ_RESULT_METADATA_START 29u  // the statistics block: the image of tm2
#define QZ_VERSION_TEXT_BYTES 30u

extern UINT16 ECGrecord[QZ_MAX_SAMPLES];
extern BYTE LargeHeartBuffer[QZ_MAX_BUFFER_BYTES];
extern BYTE HeartSamplingFromFile[QZ_CONSTANTS_FILE_BYTES];
extern const char str_pc_filter_version[QZ_VERSION_TEXT_BYTES];

// Runs the tool as `main` would and returns its exit status (0 or 1).
int QZ_RunDriver(int argc, char **argv);

// Parses one numeric setting: base-10 strtol, saturated to the signed 32-bit
// range, then its low 16 bits ("-1" gives 65535, "abc" gives 0).
UINT16 QZ_ParseSetting(const char *text);

// Fills words 0..42 of `record` from a result word and the library state.
void QZ_AssembleResultRecord(UINT16 resultWord, UINT16 *record);

// Puts the driver's and the library's globals back to their program-start
// values, so that the driver can run again in the same process.
void QZ_ResetDriverState(void);

#endif
