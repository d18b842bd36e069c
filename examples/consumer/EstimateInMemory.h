// SPDX-License-Identifier: Apache-2.0
// The lines a program writes to estimate from a recording it holds in memory:
// the 31-byte constants image and the samples (1500 or 600, low 10 bits used)
// in, the library's result word out (BPM in the low 10 bits, QI above them).
#ifndef ESTIMATE_IN_MEMORY_H
#define ESTIMATE_IN_MEMORY_H

#include "QZ_Filters.h"
#include "QZ_Helpers.h"
#include "QZ_Library_Configuration.h"

// Returns 0 (BPM 0, QI 0) for any length but 1500 or 600, which the library
// refuses before it runs. With a record name the run hands its statistics
// record and, in a library built with stage dumps, each stage's buffer (named
// after `recordName`) to hlp_writeBinaryDataFile; with a null one it writes
// nothing.
inline UINT16 EstimateInMemory(const BYTE *constants, const UINT16 *samples, UINT16 sampleCount,
                               const char *recordName)
{
    static BYTE packed[QZ_MAX_BUFFER_BYTES];
    const run_settings_struct settings;  // the tool's defaults
    QZ_ResetLibraryState();
    if (!QZ_PrepareRun(sampleCount, &settings)) {
        return 0;
    }
    hlp_convertSamplingTo64bitFloat(constants, &HeartSampling);
    hlp_convertUnpackedToPacked(samples, packed);
    return CalculateHeartRate(packed, static_cast<BYTE>(settings.StageMask & 0xFFu), recordName);
}

#endif
