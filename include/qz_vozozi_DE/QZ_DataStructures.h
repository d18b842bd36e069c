// SPDX-License-Identifier: Apache-2.0
// The packed group of four 10-bit samples and the sampling-constants record.
#ifndef QZ_DATA_STRUCTURES_H
#define QZ_DATA_STRUCTURES_H

#include <qz_vozozi_DE/GenericTypeDefs.h>
#include <qz_vozozi_DE/qz_heart_rate.h>

namespace qz {

// Five bytes holding four consecutive samples k = 0..3 (time order):
//   Array[0..3]  low bytes of samples 3, 2, 1, 0 (reverse time order)
//   Array[4]     bits 8-9 of sample k at bits 2k and 2k+1 (time order)
struct meas_struct_4_5 {
    BYTE Array[5];

    BYTE &Low(unsigned k) { return Array[k]; }
    BYTE Low(unsigned k) const { return Array[k]; }
    BYTE &High() { return Array[4]; }
    BYTE High() const { return Array[4]; }
};

// Sampling period and tuning constants, converted from the 31-byte file.
struct sampling_frequency_struct {
    UINT16 Frequency;        // carried only
    UINT16 DelayCycles;      // carried only
    float Period;            // seconds per sample
    UINT16 MaxBPM;           // highest plausible rate (inclusive)
    UINT16 MinBPM;           // lowest plausible rate (inclusive)
    BYTE OnePerMinute;       // rate reported for a single peak
    SBYTE LPFConstants[5];   // low-pass taps c0 (outer) .. c4 (centre)
    BYTE LPFPostscale;       // low-pass scaling numerator (over 450)
    float HPFConstantsA[3];  // high-pass feedback, A0 on y[n-1]
    BYTE HPFConstantsB[2];   // high-pass feed-forward B0, B1
    UINT16 ContDelayCycles;  // carried only
};

}  // namespace qz

// Byte offsets of the fields in the 31-byte constants file (little-endian
// integers, 3-byte floats, no gaps).
enum QZ_ConstantsOffset : unsigned {
    QZ_OFFSET_FREQUENCY = 0,
    QZ_OFFSET_DELAY_CYCLES = 2,
    QZ_OFFSET_PERIOD = 4,
    QZ_OFFSET_MAX_BPM = 7,
    QZ_OFFSET_MIN_BPM = 9,
    QZ_OFFSET_ONE_PER_MINUTE = 11,
    QZ_OFFSET_LPF_CONSTANTS = 12,
    QZ_OFFSET_LPF_POSTSCALE = 17,
    QZ_OFFSET_HPF_A = 18,
    QZ_OFFSET_HPF_B = 27,
    QZ_OFFSET_CONT_DELAY_CYCLES = 29,
};

#endif
