// Device contexts: a window's DC draws into the window's client pixels, a memory DC into the
// bitmap selected into it.
#pragma once

#include "GdiObject.h"
#include "Window.h"

#include <memory>

namespace kelvra::platform {

struct DeviceContext {
    std::shared_ptr<Window> window;  // null for memory DCs

    // Guarded by GdiLock().
    HGDIOBJ bitmap = nullptr;  // memory DCs
    HGDIOBJ brush = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ font = nullptr;
    int stretchMode = BLACKONWHITE;
};

HDC CreateWindowDc(const std::shared_ptr<Window>& window);
// The window is gone: its DC stops working. Drawing that already started finishes on pixels
// that nobody shows any more.
void DeleteWindowDc(HDC hdc);

// The DC behind a handle, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<DeviceContext> FindDc(HDC hdc);

// The pixels a DC draws into, or null.
std::shared_ptr<Surface> DcSurface(HDC hdc);

// The DIB section or bitmap selected into a memory DC, or null.
std::shared_ptr<BitmapObject> SelectedBitmap(HDC hdc);

}  // namespace kelvra::platform
