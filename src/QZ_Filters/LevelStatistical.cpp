// Placeholder: replaced by the real stage implementation.
#include "QZ_Filters.h"

UINT16 BPM_Method_LevelBasedThrowout(const UINT16 *, BYTE *) { return 0; }
UINT16 BPM_Method_Statistical(const UINT16 *, const BYTE *) { return 0; }
