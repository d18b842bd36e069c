// SPDX-License-Identifier: Apache-2.0
// The record lengths the heart-rate tool reads (QZ_LONG_RECORD_SAMPLES and
// QZ_SHORT_RECORD_SAMPLES), for the companion program's checks and messages.
#ifndef QZKIT_RECORD_LENGTH_H
#define QZKIT_RECORD_LENGTH_H

#include <cstddef>
#include <string>

#include <qz_vozozi_DE/QZ_Library_Configuration.h>

namespace qzkit {

inline bool IsRecordLength(std::size_t samples)
{
    return samples == QZ_LONG_RECORD_SAMPLES || samples == QZ_SHORT_RECORD_SAMPLES;
}

// "1500 or 600".
inline std::string RecordLengthsText()
{
    return std::to_string(QZ_LONG_RECORD_SAMPLES) + " or " + std::to_string(QZ_SHORT_RECORD_SAMPLES);
}

}  // namespace qzkit

#endif
