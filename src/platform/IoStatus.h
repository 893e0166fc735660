// The status word a completed request leaves in OVERLAPPED::Internal, as the system keeps it:
// an NTSTATUS, from which GetOverlappedResult recovers the system error code.
#pragma once

#include "kelvra/win32/types.h"

namespace kelvra::platform {

// Never STATUS_PENDING, so a completed request always reads as completed.
ULONG_PTR ErrorToStatus(DWORD error);

// Inverse of ErrorToStatus for every status it produces.
DWORD StatusToError(ULONG_PTR status);

}  // namespace kelvra::platform
