// SPDX-License-Identifier: Apache-2.0
// The two file operations: base name + extension, one transfer of whole
// units, result = number of whole units moved (0 when the open fails).
#include <stdio.h>
#include <string.h>

#include <qz_vozozi_DE/QZ_Helpers.h>

#include "TransferLog.h"

namespace qz {

#ifndef QZ_MAX_FILENAME
#define QZ_MAX_FILENAME 4096u  // the longest path the host can open, terminator included
#endif

namespace {

// Name of the file being transferred; the file operations are not reentrant.
char fileName[QZ_MAX_FILENAME];

// Forms filename + extension. A name that does not fit is never cut short:
// the operation then opens nothing (no host could open it either).
bool FormFileName(const char *filename, const char *extension)
{
    const size_t baseLength = strlen(filename);
    const size_t extensionLength = strlen(extension);
    if (baseLength + extensionLength + 1u > sizeof fileName) {
        return false;
    }
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the extension's copy below brings the terminator
    memcpy(fileName, filename, baseLength);
    memcpy(&fileName[baseLength], extension, extensionLength + 1u);
    return true;
}

size_t UnitCount(int length)
{
    return length > 0 ? static_cast<size_t>(length) : 0u;
}

}  // namespace

int hlp_readBinaryDataFile(const char *filename, const char *extension, void *databuffer, int length,
                           size_t unitSize)
{
    LogTransfer("Reading", &databuffer, unitSize, length, filename, extension);
    if (!FormFileName(filename, extension)) {
        return 0;
    }
    FILE *file = fopen(fileName, "rb");
    if (file == NULL) {
        return 0;
    }
    const size_t units = fread(databuffer, unitSize, UnitCount(length), file);
    (void)fclose(file);
    return static_cast<int>(units);
}

int hlp_writeBinaryDataFile(const char *filename, const char *extension, const void *databuffer, int length,
                            size_t unitSize)
{
    LogTransfer("Writing", &databuffer, unitSize, length, filename, extension);
    if (!FormFileName(filename, extension)) {
        return 0;
    }
    FILE *file = fopen(fileName, "wb");
    if (file == NULL) {
        return 0;
    }
    size_t units = fwrite(databuffer, unitSize, UnitCount(length), file);
    // Data still buffered when the disk fills is lost at close: count none of it.
    if (fclose(file) != 0) {
        units = 0;
    }
    return static_cast<int>(units);
}

}  // namespace qz
