// SPDX-License-Identifier: Apache-2.0
// Firmware image: estimates from the recording compiled into it and prints
// BPM and QI on the console (semihosting under QEMU). No file system: the
// library is built without stage dumps, and its two file operations are our
// own, reading nothing and dropping the statistics record it still writes.
#include <stdio.h>

#include "EstimateInMemory.h"
#include "Recording.h"

int hlp_readBinaryDataFile(const char *, const char *, void *, int, size_t)
{
    return 0;
}

int hlp_writeBinaryDataFile(const char *, const char *, const void *, int, size_t)
{
    return 0;
}

int main(void)
{
    static_assert(sizeof kConstants == QZ_CONSTANTS_FILE_BYTES, "a constants file has 31 bytes");
    static_assert(sizeof kRecord == 2u * QZ_LONG_RECORD_SAMPLES || sizeof kRecord == 2u * QZ_SHORT_RECORD_SAMPLES,
                  "a record has 1500 or 600 samples");
    static UINT16 samples[sizeof kRecord / 2u];
    for (unsigned i = 0; i < sizeof samples / sizeof samples[0]; ++i) {  // little-endian words, low 10 bits
        samples[i] = static_cast<UINT16>((kRecord[2u * i] | kRecord[2u * i + 1u] << 8) & 0x3FF);
    }
    const UINT16 result = EstimateInMemory(kConstants, samples, sizeof samples / sizeof samples[0], "firmware");
    printf("BPM: %u QI: %u\n", result & RESULT_BPM_MASK, static_cast<unsigned>(result >> RESULT_QI_SHIFT));
    return 0;
}
