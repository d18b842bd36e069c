// SPDX-License-Identifier: Apache-2.0
// The command-line driver: one command line, one pipeline run.
#ifndef QZ_DRIVER_H
#define QZ_DRIVER_H

#include <qz_vozozi_DE/GenericTypeDefs.h>
#include <qz_vozozi_DE/QZ_DataStructures.h>
#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#define QZ_VERSION_TEXT_BYTES 30u

namespace qz {
#pragma GCC visibility push(default)  // exported; everything else is built hidden

extern UINT16 ECGrecord[QZ_MAX_SAMPLES];
extern BYTE LargeHeartBuffer[QZ_MAX_BUFFER_BYTES];
extern BYTE HeartSamplingFromFile[QZ_CONSTANTS_FILE_BYTES];
extern const char str_pc_filter_version[QZ_VERSION_TEXT_BYTES];

// Runs the tool as `main` would and returns its exit status (0 or 1).
int QZ_RunDriver(int argc, char **argv);

// Puts the driver's and the library's globals back to their program-start
// values, so that the driver can run again in the same process.
void QZ_ResetDriverState(void);

#pragma GCC visibility pop
}  // namespace qz

#endif
