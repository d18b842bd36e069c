// Placeholder: replaced by the real stage implementation.
#include "QZ_Filters.h"

void HighPassFilter(BYTE *, const UINT16 *, const UINT16 *) {}
