/* KelvraSdk 880HQLN: the public C interface of the camera SDK. */
#ifndef KELVRA_SDK_H
#define KELVRA_SDK_H

#ifdef _WIN32
#include <windows.h>
#else
#include "kelvra/win32.h"
#endif

#ifdef _WIN32
#ifdef KELVRA_SDK_BUILD
#define KELVRA_API __declspec(dllexport)
#else
#define KELVRA_API __declspec(dllimport)
#endif
#else
#define KELVRA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** The library's version, 0x02030520; takes no handle. */
KELVRA_API int32_t Kelvra_GetDllVersion(void);

#ifdef __cplusplus
}
#endif

#endif
