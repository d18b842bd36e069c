// Run configuration shared by the driver, the helpers and the library.
#ifndef QZ_LIBRARY_CONFIGURATION_H
#define QZ_LIBRARY_CONFIGURATION_H

#include "GenericTypeDefs.h"

#define QZ_MAX_SAMPLES 1500u
#define QZ_MAX_BUFFER_BYTES 1875u

extern UINT16 SampleCount;  // samples in the record: 1500 or 600
extern UINT16 BufferSize;   // packed bytes of the record: 1875 or 750
extern UINT16 LogLevel;     // diagnostic lines print when LogLevel > 2 or > 3

#endif
