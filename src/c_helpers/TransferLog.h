// SPDX-License-Identifier: Apache-2.0
// The one log line of a file transfer, shared by every file-operation pair.
#ifndef QZ_TRANSFER_LOG_H
#define QZ_TRANSFER_LOG_H

#include <stddef.h>
#include <stdio.h>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

#include "QZ_Filters/LogAddress.h"

namespace qz {

// Printed before the open when LogLevel > 2. `argumentAddress` is where the
// operation holds its buffer pointer; the name is printed whole.
inline void LogTransfer(const char *verb, const void *argumentAddress, size_t unitSize, int length,
                        const char *filename, const char *extension)
{
    if (LogLevel > 2u) {
        printf("%s " QZ_ADDRESS_FORMAT "\t%d\t%d\t%s%s\n", verb, LowAddressBits(argumentAddress),
               static_cast<int>(unitSize), length, filename, extension);
    }
}

}  // namespace qz

#endif
