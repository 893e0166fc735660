#include "kelvra/win32/kernel.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

extern "C" {

WINBASEAPI DWORD WINAPI GetLastError(void) { return lastError; }

WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

}  // extern "C"
