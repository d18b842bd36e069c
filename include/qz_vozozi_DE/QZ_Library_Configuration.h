// SPDX-License-Identifier: Apache-2.0
// Run configuration shared by the driver, the helpers and the library: the
// record lengths and their buffer geometry, the settings of a run with their
// defaults, and the log level.
#ifndef QZ_LIBRARY_CONFIGURATION_H
#define QZ_LIBRARY_CONFIGURATION_H

#include <qz_vozozi_DE/GenericTypeDefs.h>
#include <qz_vozozi_DE/QZ_Filters.h>

// Stage dumps: 1 (the default, the desktop tool) writes the buffer after each
// conditioning stage to RECORD.lowpass ... RECORD.average, unpacked through a
// 3000-byte static image; 0 leaves the dumps out (no image, no unpacking, no
// writes) for a device that never reads them. The result word, the
// statistics, "thresholdmethod.info" and the printed lines are the same.
// Set it for the whole library, e.g. with the CMake option QZ_STAGE_DUMPS.
#ifndef QZ_STAGE_DUMPS
#define QZ_STAGE_DUMPS 1
#endif

// The files of a run: base name + extension.
#define QZ_CONSTANTS_EXTENSION ".pvx.filters.v1"
#define QZ_RECORD_EXTENSION ".ecg"
#define QZ_RESULT_EXTENSION ".out"

// The largest record and its packed buffer (QZ_PACKED_BYTES: qz_heart_rate.h).
#define QZ_MAX_SAMPLES QZ_LONG_RECORD_SAMPLES
#define QZ_MAX_BUFFER_BYTES QZ_PACKED_BYTES(QZ_MAX_SAMPLES)

// The derivative orders; a run uses the 5-point derivative for order 5 and
// the 2-point one for any other value.
#define QZ_DERIVATIVE_TWO_POINT 2u
#define QZ_DERIVATIVE_FIVE_POINT 5u

namespace qz {
#pragma GCC visibility push(default)  // exported; everything else is built hidden

extern UINT16 SampleCount;  // samples in the record: 1500 or 600
extern UINT16 BufferSize;   // packed bytes of the record: 1875 or 750
extern UINT16 LogLevel;     // diagnostic lines print when LogLevel > 2 or > 3

// The optional settings of a run, as the command line gives them, with the
// tool's defaults.
struct run_settings_struct {
    UINT16 StageMask = QZ_STAGE_ALL;  // QZ_STAGE_* bits; the low 8 bits are used
    UINT16 PeakDetection = 1;         // 0 absolute threshold, any other value variable
    UINT16 BeatMethod = 1;            // low 3 bits: 1 template, 2 level-based, others statistical
    UINT16 DerivativeOrder = QZ_DERIVATIVE_TWO_POINT;
};

// Parses one numeric setting as the command line gives it: base-10 strtol,
// saturated to the signed 32-bit range, then its low 16 bits ("-1" gives
// 65535, "abc" gives 0).
UINT16 QZ_ParseSetting(const char *text);

// The derivative order a run uses for `requested`: 5 or 2.
UINT16 QZ_DerivativeOrder(UINT16 requested);

// Sets SampleCount, BufferSize and CalcHeart_BufferLength for a record of
// `samples` samples. Returns false, and changes nothing, unless `samples` is
// QZ_LONG_RECORD_SAMPLES or QZ_SHORT_RECORD_SAMPLES: the pipeline takes every
// other buffer length for the short record's.
bool QZ_SetRecordLength(UINT16 samples);

// Prepares the library's globals for one run over a record of `samples`
// samples: the geometry as QZ_SetRecordLength sets it, and the three methods
// of `settings` in Filter (the beat method's low 3 bits, the peak detection as
// 0 or 1, the derivative order as QZ_DerivativeOrder gives it). Returns false,
// and changes nothing, for a length QZ_SetRecordLength refuses. The stage
// mask is not stored: it is CalculateHeartRate's Selector.
bool QZ_PrepareRun(UINT16 samples, const run_settings_struct *settings);

#pragma GCC visibility pop
}  // namespace qz

#endif
