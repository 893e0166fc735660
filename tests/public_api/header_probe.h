/* What one translation unit sees of the public headers, reported at run time so that the test
 * can compare the C99, C11 and C++ views. Include it after the public header under test, so that
 * the public header is the first thing the translation unit compiles. */
#ifndef KELVRA_TESTS_PUBLIC_API_HEADER_PROBE_H
#define KELVRA_TESTS_PUBLIC_API_HEADER_PROBE_H

#include <stddef.h>
#include <stdint.h>

/* Room for every value a probe reports. */
#define PROBE_CAPACITY 32

#define PROBE_JOIN2(a, b) a##_##b
#define PROBE_JOIN(a, b) PROBE_JOIN2(a, b)
/* probe_<what>_<variant>, variant c99, c11 or cxx as the build defines PROBE_VARIANT. */
#define PROBE_FUNCTION(what) PROBE_JOIN(probe_##what, PROBE_VARIANT)

#ifdef __cplusplus
extern "C" {
#endif

/* Sizes and field offsets of FrameInfo and KelvraCameraInfo; returns how many were written. */
size_t probe_sdk_layout_c99(size_t* out);
size_t probe_sdk_layout_c11(size_t* out);
size_t probe_sdk_layout_cxx(size_t* out);

/* Kelvra_GetDllVersion called from the probe's language. */
int32_t probe_dll_version_c99(void);
int32_t probe_dll_version_c11(void);
int32_t probe_dll_version_cxx(void);

/* Sizes of the base Win32 types seen from C; returns how many were written. */
size_t probe_win32_sizes_c99(size_t* out);
size_t probe_win32_sizes_c11(size_t* out);

#ifdef __cplusplus
}
#endif

#endif
