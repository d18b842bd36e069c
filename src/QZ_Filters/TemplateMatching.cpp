// Placeholder: replaced by the real stage implementation.
#include "QZ_Filters.h"

UINT16 BPM_Method_TemplateMatching(const BYTE *, const UINT16 *, const BYTE *) { return 1; }
