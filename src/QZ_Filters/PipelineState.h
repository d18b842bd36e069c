// SPDX-License-Identifier: Apache-2.0
// Library-internal state that is not part of the public interface.
#ifndef QZ_PIPELINE_STATE_H
#define QZ_PIPELINE_STATE_H

#include <qz_vozozi_DE/GenericTypeDefs.h>

namespace qz {

// Distinct 10-bit sample values.
#define QZ_SAMPLE_VALUES 1024u

// Scratch interval of beat-rate estimation; kept across pipeline calls.
extern UINT16 FirstLast;

// Whether beat-rate estimation writes the method dump: on, except during
// the beat-rate stage of a pipeline run without a record name, which writes
// no file at all.
extern bool MethodDumpEnabled;

// QZ_SAMPLE_VALUES words for the buffer statistics' counts per sample value.
// With stage dumps they share the dumps' unpacked image: each use fills the
// words before it reads them and is done before the other starts.
UINT16 *SampleValueCounts(void);

}  // namespace qz

#endif
