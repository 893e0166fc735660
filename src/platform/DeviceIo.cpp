// CreateFileA on device paths and the I/O functions on the handles it returns.
#include "DeviceHandle.h"
#include "DeviceInterfaceTable.h"
#include "DeviceIoRequest.h"
#include "IoStatus.h"

#include <atomic>
#include <new>

using kelvra::platform::DeviceHandle;
using kelvra::platform::DeviceInterfaceTable;
using kelvra::platform::DeviceIoRequest;
using kelvra::platform::IoOutcome;

namespace {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL Report(DWORD error, DWORD bytesReturned, LPDWORD lpBytesReturned) {
    if (lpBytesReturned) *lpBytesReturned = bytesReturned;
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

ULONG_PTR StatusOf(const OVERLAPPED* overlapped) {
    return std::atomic_ref(const_cast<OVERLAPPED*>(overlapped)->Internal).load(std::memory_order_acquire);
}

}  // namespace

extern "C" {

WINBASEAPI HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD /*dwDesiredAccess*/, DWORD /*dwShareMode*/,
                                     LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
    if (!lpFileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    try {
        auto entry = DeviceInterfaceTable::Instance().Find(lpFileName);
        if (!entry) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        // A device can only be opened, never created or truncated.
        if (dwCreationDisposition != OPEN_EXISTING) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        DWORD error = ERROR_SUCCESS;
        auto connection = entry->provider->Open(entry->path, error);
        if (!connection) {
            // A provider that refuses without saying why must not look like success to the caller.
            SetLastError(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
            return INVALID_HANDLE_VALUE;
        }
        bool overlapped = (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0;
        HANDLE handle =
            kelvra::platform::InsertObject(std::make_shared<DeviceHandle>(std::move(connection), overlapped));
        SetLastError(ERROR_SUCCESS);
        return handle;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
}

WINBASEAPI BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                                       LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                                       LPOVERLAPPED lpOverlapped) {
    auto device = kelvra::platform::ReferenceObjectAs<DeviceHandle>(hDevice);
    if (!device) return Fail(ERROR_INVALID_HANDLE);
    if ((!lpInBuffer && nInBufferSize > 0) || (!lpOutBuffer && nOutBufferSize > 0))
        return Fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<DeviceIoRequest> request;
    try {
        request = std::make_shared<DeviceIoRequest>(device->Queue(), dwIoControlCode, lpInBuffer, nInBufferSize,
                                                    lpOutBuffer, nOutBufferSize, lpOverlapped);
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (DWORD error = device->Submit(request); error != ERROR_SUCCESS) return Fail(error);
    // From here on only the provider keeps the request: one that it lets go of unfinished
    // completes as aborted instead of leaving this caller waiting.
    auto outcome = request->Outcome();
    request.reset();
    // Only an overlapped handle with an OVERLAPPED returns early; every other call is synchronous
    // and waits, whatever the provider does.
    IoOutcome result;
    if (device->IsOverlapped() && lpOverlapped) {
        result = device->Queue()->Peek(*outcome);
        if (!result.done) return Fail(ERROR_IO_PENDING);
    } else {
        result = device->Queue()->WaitUntilDone(*outcome);
    }
    return Report(result.error, result.bytesReturned, lpBytesReturned);
}

WINBASEAPI BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                           BOOL bWait) {
    auto device = kelvra::platform::ReferenceObjectAs<DeviceHandle>(hFile);
    if (!device) return Fail(ERROR_INVALID_HANDLE);
    if (!lpOverlapped) return Fail(ERROR_INVALID_PARAMETER);
    if (StatusOf(lpOverlapped) == STATUS_PENDING) {
        if (!bWait) return Fail(ERROR_IO_INCOMPLETE);
        device->Queue()->WaitForOverlapped(lpOverlapped);
        // Still pending: the OVERLAPPED belongs to no request of this handle.
        if (StatusOf(lpOverlapped) == STATUS_PENDING) return Fail(ERROR_INVALID_PARAMETER);
        // The system waits on the event here, which takes the signal of an auto-reset event.
        if (lpOverlapped->hEvent) WaitForSingleObject(lpOverlapped->hEvent, 0);
    }
    DWORD bytes = static_cast<DWORD>(lpOverlapped->InternalHigh);
    return Report(kelvra::platform::StatusToError(StatusOf(lpOverlapped)), bytes, lpNumberOfBytesTransferred);
}

WINBASEAPI BOOL WINAPI CancelIo(HANDLE hFile) {
    auto device = kelvra::platform::ReferenceObjectAs<DeviceHandle>(hFile);
    if (!device) return Fail(ERROR_INVALID_HANDLE);
    device->CancelAll();
    return TRUE;
}

}  // extern "C"
