// The record lengths the heart-rate tool reads (QZ_LONG_RECORD_SAMPLES and
// QZ_SHORT_RECORD_SAMPLES), for the companion program's checks.
#ifndef QZKIT_RECORD_LENGTH_H
#define QZKIT_RECORD_LENGTH_H

#include <cstddef>

#include "QZ_Library_Configuration.h"

namespace qzkit {

inline bool IsRecordLength(std::size_t samples)
{
    return samples == QZ_LONG_RECORD_SAMPLES || samples == QZ_SHORT_RECORD_SAMPLES;
}

}  // namespace qzkit

#endif
