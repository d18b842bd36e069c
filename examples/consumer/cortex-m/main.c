/* SPDX-License-Identifier: Apache-2.0 */
/* Firmware image in C: estimates from the recording compiled into it through
 * the library's C interface and prints BPM and QI on the console
 * (semihosting under QEMU). No file system: the run is given no record name,
 * so it writes nothing, and the library is linked with the file operations
 * that read and store nothing (qz::nofileio). */
#include <stdio.h>

#include <qz_vozozi_DE/qz_heart_rate.h>

#include "Recording.h"

static uint16_t samples[sizeof kRecord / 2u];

int main(void)
{
    size_t i;
    qz_result result;
    qz_status status;
    for (i = 0; i < sizeof samples / sizeof samples[0]; ++i) { /* little-endian words */
        samples[i] = (uint16_t)(kRecord[2u * i] | kRecord[2u * i + 1u] << 8);
    }
    status = qz_estimate(kConstants, sizeof kConstants, samples, sizeof samples / sizeof samples[0], NULL, NULL,
                         &result);
    if (status != QZ_OK) {
        printf("estimate: error %d\n", (int)status);
        return 1;
    }
    printf("BPM: %u QI: %u\n", (unsigned)result.bpm, (unsigned)result.qi);
    return 0;
}
