// SPDX-License-Identifier: Apache-2.0
// Takes the address of every library function whose symbol the build needs
// (the counted functions of bench/CountedFunctions.h and the file
// operations), so that the undefined symbols of this file's object are their
// symbols as this compiler names them.
#include <qz_vozozi_DE/QZ_Filters.h>
#include <qz_vozozi_DE/QZ_Helpers.h>

#include "../bench/CountedFunctions.h"

#define QZ_ADDRESS_OF(function, stage) reinterpret_cast<const void *>(&qz::function),
extern "C" const void *const qz_library_functions[] = {QZ_COUNTED_FUNCTIONS(QZ_ADDRESS_OF) QZ_ADDRESS_OF(
    hlp_readBinaryDataFile, files) QZ_ADDRESS_OF(hlp_writeBinaryDataFile, files)};
