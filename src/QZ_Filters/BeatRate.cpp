// Placeholder: replaced by the real stage implementation.
#include "QZ_Filters.h"

void GetBPM(const BYTE *, UINT16 *, UINT16 *maxORbpm, UINT16 *, BYTE *) { *maxORbpm = QI_PATTERN_3; }
void IntervalToBPM(const UINT16 *, UINT16 *bpm, UINT16 quality) { *bpm = quality; }
