// The constant handles that GetCurrentProcess and GetCurrentThread return; they never enter the table.
#pragma once

#include "kelvra/win32/types.h"

namespace kelvra::platform {

inline HANDLE CurrentProcessPseudoHandle() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

inline HANDLE CurrentThreadPseudoHandle() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)); }

inline bool IsPseudoHandle(HANDLE handle) {
    return handle == CurrentProcessPseudoHandle() || handle == CurrentThreadPseudoHandle();
}

}  // namespace kelvra::platform
