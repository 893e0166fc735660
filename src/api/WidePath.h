// The path of a wide-character variant, as its narrow function takes it: converted with the
// thread's ANSI code page into a terminated 1024-byte buffer. A path that does not convert or
// does not fit is refused whole, never cut short, so no other file is opened in its place.
#pragma once

#include "kelvra/win32.h"

class WidePath {
public:
    static constexpr int kBufferSize = 1024;

    explicit WidePath(const wchar_t* wide) {
        if (!wide) return;
        converted = WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, buffer, kBufferSize, nullptr, nullptr) > 0;
        if (!converted) buffer[0] = '\0';
    }

    // False when the caller is to record KELVRA_ERR_FAILED.
    bool Converted() const { return converted; }
    const char* Narrow() const { return buffer; }

private:
    char buffer[kBufferSize] = {};
    bool converted = false;
};
