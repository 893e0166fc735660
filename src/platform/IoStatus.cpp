#include "IoStatus.h"

#include <array>
#include <utility>

namespace kelvra::platform {
namespace {

// The errors a driver commonly completes with, under the status the system gives them.
constexpr std::array<std::pair<DWORD, ULONG_PTR>, 12> kKnownStatuses{{
    {ERROR_SUCCESS, 0x00000000},               // STATUS_SUCCESS
    {ERROR_OPERATION_ABORTED, 0xC0000120},     // STATUS_CANCELLED
    {ERROR_INVALID_FUNCTION, 0xC0000010},      // STATUS_INVALID_DEVICE_REQUEST
    {ERROR_INVALID_PARAMETER, 0xC000000D},     // STATUS_INVALID_PARAMETER
    {ERROR_INVALID_HANDLE, 0xC0000008},        // STATUS_INVALID_HANDLE
    {ERROR_NOT_SUPPORTED, 0xC00000BB},         // STATUS_NOT_SUPPORTED
    {ERROR_INSUFFICIENT_BUFFER, 0xC0000023},   // STATUS_BUFFER_TOO_SMALL
    {ERROR_MORE_DATA, 0x80000005},             // STATUS_BUFFER_OVERFLOW
    {ERROR_GEN_FAILURE, 0xC0000001},           // STATUS_UNSUCCESSFUL
    {ERROR_DEVICE_NOT_CONNECTED, 0xC000009D},  // STATUS_DEVICE_NOT_CONNECTED
    {ERROR_NOT_ENOUGH_MEMORY, 0xC0000017},     // STATUS_NO_MEMORY
    {ERROR_ACCESS_DENIED, 0xC0000022},         // STATUS_ACCESS_DENIED
}};

// Any other error travels as a Win32 status of facility NTWIN32, which carries the code itself.
constexpr ULONG_PTR kWin32StatusBase = 0xC0070000;

}  // namespace

ULONG_PTR ErrorToStatus(DWORD error) {
    for (const auto& [known, status] : kKnownStatuses)
        if (known == error) return status;
    return kWin32StatusBase | (error & 0xFFFF);
}

DWORD StatusToError(ULONG_PTR status) {
    for (const auto& [error, known] : kKnownStatuses)
        if (known == status) return error;
    if ((status & 0xFFFF0000) == kWin32StatusBase) return static_cast<DWORD>(status & 0xFFFF);
    return ERROR_GEN_FAILURE;
}

}  // namespace kelvra::platform
