#include "kelvra/win32.h"

#include "public_api/header_probe.h"

size_t PROBE_FUNCTION(win32_sizes)(size_t* out) {
    size_t count = 0;
    out[count++] = sizeof(BOOL);
    out[count++] = sizeof(WORD);
    out[count++] = sizeof(DWORD);
    out[count++] = sizeof(LONG);
    out[count++] = sizeof(HANDLE);
    out[count++] = sizeof(HWND);
    out[count++] = sizeof(WPARAM);
    out[count++] = sizeof(LPARAM);
    out[count++] = sizeof(LRESULT);
    out[count++] = sizeof(GUID);
    out[count++] = sizeof(RECT);
    return count;
}
