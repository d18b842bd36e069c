// Library-internal state that is not part of the public interface.
#ifndef QZ_PIPELINE_STATE_H
#define QZ_PIPELINE_STATE_H

#include "GenericTypeDefs.h"

// Scratch interval of beat-rate estimation; kept across pipeline calls.
extern UINT16 FirstLast;

#endif
