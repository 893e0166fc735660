#include "kelvra/KelvraSdk.h"

extern "C" KELVRA_API int32_t Kelvra_GetDllVersion(void) { return 0x02030520; }
