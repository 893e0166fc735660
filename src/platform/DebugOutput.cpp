#include "kelvra/win32/kernel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {

// Without a debugger to catch it, the text goes to stderr, and only when the user asked for it.
WINBASEAPI void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    if (!lpOutputString || !std::getenv("KELVRA_DEBUG")) return;
    // One write per message keeps lines of concurrent threads apart.
    std::fwrite(lpOutputString, 1, std::strlen(lpOutputString), stderr);
    std::fflush(stderr);
}

WINBASEAPI void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
    if (!lpOutputString || !std::getenv("KELVRA_DEBUG")) return;
    int size = WideCharToMultiByte(CP_UTF8, 0, lpOutputString, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string text(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, lpOutputString, -1, text.data(), size, nullptr, nullptr) > 0)
        OutputDebugStringA(text.c_str());
}

}  // extern "C"
