#include "DeviceContext.h"

#include "HandleTable.h"
#include "WindowFrame.h"

namespace kelvra::platform {

namespace {

HandleTable<DeviceContext>& Dcs() {
    static auto* table = new HandleTable<DeviceContext>;
    return *table;
}

std::shared_ptr<DeviceContext> NewDc(std::shared_ptr<Window> window) {
    auto dc = std::make_shared<DeviceContext>();
    dc->window = std::move(window);
    dc->brush = StockObject(WHITE_BRUSH);
    dc->pen = StockObject(BLACK_PEN);
    dc->font = StockObject(SYSTEM_FONT);
    if (!dc->window) dc->bitmap = DefaultBitmap();
    return dc;
}

HDC AsHdc(uintptr_t value) { return reinterpret_cast<HDC>(value); }

}  // namespace

HDC CreateWindowDc(const std::shared_ptr<Window>& window) { return AsHdc(Dcs().Insert(NewDc(window))); }

void DeleteWindowDc(HDC hdc) { Dcs().Remove(reinterpret_cast<uintptr_t>(hdc)); }

std::shared_ptr<DeviceContext> FindDc(HDC hdc) {
    auto dc = hdc ? Dcs().Find(reinterpret_cast<uintptr_t>(hdc)) : nullptr;
    if (!dc) SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

std::shared_ptr<BitmapObject> SelectedBitmap(HDC hdc) {
    const auto dc = FindDc(hdc);
    if (!dc || dc->window) return nullptr;
    HGDIOBJ bitmap = nullptr;
    {
        std::lock_guard lock(GdiLock());
        bitmap = dc->bitmap;
    }
    return FindGdiObjectAs<BitmapObject>(bitmap);
}

std::shared_ptr<Surface> DcSurface(HDC hdc) {
    const auto dc = FindDc(hdc);
    if (!dc) return nullptr;
    if (dc->window) return WindowSurface(dc->window);
    const auto bitmap = SelectedBitmap(hdc);
    return bitmap ? bitmap->surface : nullptr;
}

}  // namespace kelvra::platform

using namespace kelvra::platform;

extern "C" {

WINGDIAPI HDC WINAPI CreateCompatibleDC(HDC hdc) {
    if (hdc != nullptr && !FindDc(hdc)) return nullptr;
    return AsHdc(Dcs().Insert(NewDc(nullptr)));
}

WINGDIAPI BOOL WINAPI DeleteDC(HDC hdc) {
    const auto dc = FindDc(hdc);
    if (!dc) return FALSE;
    if (dc->window) {  // a window's DC goes back with ReleaseDC, not DeleteDC
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(GdiLock());
    if (const auto bitmap = FindGdiObjectAs<BitmapObject>(dc->bitmap); bitmap && bitmap->selectedInto == hdc)
        bitmap->selectedInto = nullptr;
    Dcs().Remove(reinterpret_cast<uintptr_t>(hdc));
    return TRUE;
}

WINGDIAPI HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    const auto dc = FindDc(hdc);
    const auto object = FindGdiObject(h);
    if (!dc || !object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    std::lock_guard lock(GdiLock());
    HGDIOBJ* slot = nullptr;
    switch (object->Type()) {
        case OBJ_BITMAP: {
            if (dc->window) return nullptr;
            auto& bitmap = static_cast<BitmapObject&>(*object);
            if (!bitmap.stock && bitmap.selectedInto != nullptr && bitmap.selectedInto != hdc) return nullptr;
            if (const auto previous = FindGdiObjectAs<BitmapObject>(dc->bitmap);
                previous && previous->selectedInto == hdc)
                previous->selectedInto = nullptr;
            if (!bitmap.stock) bitmap.selectedInto = hdc;
            slot = &dc->bitmap;
            break;
        }
        case OBJ_BRUSH:
            slot = &dc->brush;
            break;
        case OBJ_PEN:
            slot = &dc->pen;
            break;
        case OBJ_FONT:
            slot = &dc->font;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
    HGDIOBJ previous = *slot;
    *slot = h;
    return previous;
}

WINGDIAPI HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type) {
    const auto dc = FindDc(hdc);
    if (!dc) return nullptr;
    std::lock_guard lock(GdiLock());
    switch (type) {
        case OBJ_BITMAP:
            return dc->bitmap;
        case OBJ_BRUSH:
            return dc->brush;
        case OBJ_PEN:
            return dc->pen;
        case OBJ_FONT:
            return dc->font;
        case OBJ_PAL:
            return StockObject(DEFAULT_PALETTE);
        default:
            return nullptr;
    }
}

WINGDIAPI int WINAPI SetStretchBltMode(HDC hdc, int mode) {
    if (mode < BLACKONWHITE || mode > HALFTONE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto dc = FindDc(hdc);
    if (!dc) return 0;
    std::lock_guard lock(GdiLock());
    const int previous = dc->stretchMode;
    dc->stretchMode = mode;
    return previous;
}

WINGDIAPI int WINAPI GetStretchBltMode(HDC hdc) {
    const auto dc = FindDc(hdc);
    if (!dc) return 0;
    std::lock_guard lock(GdiLock());
    return dc->stretchMode;
}

WINGDIAPI int WINAPI GetDeviceCaps(HDC hdc, int index) {
    if (!FindDc(hdc)) return 0;
    switch (index) {
        case DRIVERVERSION:
            return 0x4000;
        case TECHNOLOGY:
            return DT_RASDISPLAY;
        case HORZSIZE:
            return kScreenWidth * 254 / 960;  // millimetres at 96 dots per inch
        case VERTSIZE:
            return kScreenHeight * 254 / 960;
        case HORZRES:
        case DESKTOPHORZRES:
            return kScreenWidth;
        case VERTRES:
        case DESKTOPVERTRES:
            return kScreenHeight;
        case BITSPIXEL:
            return 32;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return -1;
        case ASPECTX:
        case ASPECTY:
            return 36;
        case ASPECTXY:
            return 51;
        case RASTERCAPS:
            return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
        case LOGPIXELSX:
        case LOGPIXELSY:
            return 96;
        case COLORRES:
            return 24;
        case VREFRESH:
            return 60;
        default:
            return 0;
    }
}

WINGDIAPI BOOL WINAPI GdiFlush(void) {
    // Every GDI call finishes its drawing before it returns; there is no batch to flush.
    return TRUE;
}

}  // extern "C"
