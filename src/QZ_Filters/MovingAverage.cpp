// Placeholder: replaced by the real stage implementation.
#include "QZ_Filters.h"

void MovingAverage(BYTE *) {}
void AbsSubtractMedian(BYTE *, const UINT16 *) {}
