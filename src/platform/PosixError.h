// Translation of POSIX failures into the Windows error codes callers test for.
#pragma once

#include "kelvra/win32/types.h"

namespace kelvra::platform {

DWORD Win32ErrorFromErrno(int error);

// Sets the thread's last error from errno and returns it.
DWORD SetLastErrorFromErrno();

}  // namespace kelvra::platform
