// SPDX-License-Identifier: Apache-2.0
// A shared object of the host's own with the static library inside it.
#include <qz_vozozi_DE/qz_heart_rate.h>

extern "C" __attribute__((visibility("default"))) const char *host_library_version(void)
{
    return qz_version();
}
