// Placeholder: replaced by the real stage implementation.
#include "QZ_Filters.h"

void MinMax(const BYTE *, UINT16 *min, UINT16 *max) { *min = 0; *max = 0; }
void SortBuffer(const BYTE *, UINT16 *, const UINT16 *) {}
void Median(const BYTE *, UINT16 *median) { *median = 0; }
