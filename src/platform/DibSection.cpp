// DIB sections, compatible bitmaps and colour tables.
#include "DeviceContext.h"
#include "DibFormat.h"

#include <algorithm>
#include <cstring>

using namespace kelvra::platform;

namespace {

// The DIB section selected into a memory DC, with its colour table, for Get/SetDIBColorTable.
std::shared_ptr<BitmapObject> IndexedDib(HDC hdc) {
    const auto bitmap = SelectedBitmap(hdc);
    if (!bitmap || !bitmap->dib || bitmap->surface->Format().bitCount > 8) return nullptr;
    return bitmap;
}

}  // namespace

extern "C" {

WINGDIAPI HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection,
                                          DWORD offset) {
    (void)hdc;  // only DIB_PAL_COLORS would need the DC's palette, and that is not supported
    (void)offset;
    if (ppvBits) *ppvBits = nullptr;
    if (hSection != nullptr) {  // sections backed by a file mapping are not supported
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    DibLayout layout;
    if (!ReadDibLayout(pbmi, usage, layout)) return nullptr;
    auto surface = Surface::Create(layout.width, layout.height, layout.bottomUp, std::move(layout.format));
    if (!surface) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto bitmap = std::make_shared<BitmapObject>(surface, true);
    bitmap->header = pbmi->bmiHeader;
    bitmap->header.biSize = sizeof(BITMAPINFOHEADER);
    bitmap->header.biSizeImage = static_cast<DWORD>(surface->Stride() * static_cast<size_t>(layout.height));
    if (surface->Format().bitCount <= 8) bitmap->header.biClrUsed = static_cast<DWORD>(surface->Format().colors.size());
    if (ppvBits) *ppvBits = surface->Bits();
    return static_cast<HBITMAP>(InsertGdiObject(std::move(bitmap)));
}

// A bitmap in the DC's own format: a window DC's 32 bits, or the format of the bitmap a
// memory DC holds (monochrome for a fresh memory DC, as on Windows).
WINGDIAPI HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
    const auto dc = FindDc(hdc);
    if (!dc) return nullptr;
    if (cx < 0 || cy < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (cx == 0 || cy == 0) return static_cast<HBITMAP>(DefaultBitmap());
    PixelFormat format = PixelFormat::Bgrx32();
    if (!dc->window) {
        if (const auto selected = SelectedBitmap(hdc)) {
            std::lock_guard pixels(selected->surface->Mutex());
            format = selected->surface->Format();
        }
    }
    auto surface = Surface::Create(cx, cy, false, std::move(format));
    if (!surface) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(InsertGdiObject(std::make_shared<BitmapObject>(std::move(surface), false)));
}

WINGDIAPI UINT WINAPI GetDIBColorTable(HDC hdc, UINT iStart, UINT cEntries, RGBQUAD* prgbq) {
    const auto bitmap = IndexedDib(hdc);
    if (!bitmap || prgbq == nullptr) return 0;
    std::lock_guard pixels(bitmap->surface->Mutex());
    const auto& colors = bitmap->surface->Format().colors;
    if (iStart >= colors.size()) return 0;
    const UINT count = std::min<UINT>(cEntries, static_cast<UINT>(colors.size()) - iStart);
    std::memcpy(prgbq, colors.data() + iStart, count * sizeof(RGBQUAD));
    return count;
}

WINGDIAPI UINT WINAPI SetDIBColorTable(HDC hdc, UINT iStart, UINT cEntries, const RGBQUAD* prgbq) {
    const auto bitmap = IndexedDib(hdc);
    if (!bitmap || prgbq == nullptr) return 0;
    std::lock_guard pixels(bitmap->surface->Mutex());
    auto& colors = bitmap->surface->Format().colors;
    if (iStart >= colors.size()) return 0;
    const UINT count = std::min<UINT>(cEntries, static_cast<UINT>(colors.size()) - iStart);
    std::memcpy(colors.data() + iStart, prgbq, count * sizeof(RGBQUAD));
    return count;
}

}  // extern "C"
