// Placeholder: replaced by the real stage implementation.
#include "QZ_Filters.h"

void LowPassFilter(BYTE *, const UINT16 *, UINT16 *) {}
