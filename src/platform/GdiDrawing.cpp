// Drawing through DCs: blits, DIBs from memory, fills and single pixels.
#include "Blit.h"
#include "DeviceContext.h"
#include "DibFormat.h"
#include "PixelCodec.h"

#include <algorithm>
#include <cstdint>

using namespace kelvra::platform;

namespace {

bool CheckCopyRop(DWORD rop) {
    if (rop == SRCCOPY) return true;
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

bool Stretch(HDC destinationDc, const Extent& to, HDC sourceDc, const Extent& from, DWORD rop) {
    if (!CheckCopyRop(rop)) return false;
    const auto destination = DcSurface(destinationDc);
    const auto source = DcSurface(sourceDc);
    if (!destination || !source) return false;
    StretchSurface(*destination, to, *source, from);
    return true;
}

// A caller's DIB, wrapped for the blit, and the source extent in its top-down rows. A
// bottom-up DIB counts source rows from its lower-left corner, as GDI does.
struct DibSource {
    std::shared_ptr<Surface> surface;
    Extent extent;
};

bool WrapDib(const void* bits, const BITMAPINFO* info, UINT usage, int firstScan, int scans, DibSource& dib, int xSrc,
             int ySrc, int width, int height) {
    DibLayout layout;
    if (bits == nullptr || !ReadDibLayout(info, usage, layout)) return false;
    if (firstScan < 0 || scans <= 0 || firstScan >= layout.height) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    scans = std::min(scans, layout.height - firstScan);
    dib.surface = Surface::Wrap(static_cast<BYTE*>(const_cast<void*>(bits)), layout.width, scans, layout.bottomUp,
                                std::move(layout.format));
    if (!dib.surface) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    dib.extent = Extent{xSrc, ySrc - firstScan, width, height};
    if (layout.bottomUp) {
        // Rows [low, low + count) counted from the bottom, from the rectangle's origin and extent.
        const int64_t count = height > 0 ? height : -int64_t{height};
        const int64_t low = height > 0 ? int64_t{ySrc} : int64_t{ySrc} - count + 1;
        const int64_t topDownTop = int64_t{scans} - (low - firstScan) - count;
        const int64_t topDownBottom = topDownTop + count - 1;
        dib.extent.y =
            static_cast<int>(std::clamp<int64_t>(height > 0 ? topDownTop : topDownBottom, INT32_MIN, INT32_MAX));
    }
    return true;
}

}  // namespace

extern "C" {

WINGDIAPI BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    return Stretch(hdc, Extent{x, y, cx, cy}, hdcSrc, Extent{x1, y1, cx, cy}, rop) ? TRUE : FALSE;
}

WINGDIAPI BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc,
                                 int ySrc, int wSrc, int hSrc, DWORD rop) {
    return Stretch(hdcDest, Extent{xDest, yDest, wDest, hDest}, hdcSrc, Extent{xSrc, ySrc, wSrc, hSrc}, rop) ? TRUE
                                                                                                             : FALSE;
}

WINGDIAPI int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc,
                                   int SrcWidth, int SrcHeight, const void* lpBits, const BITMAPINFO* lpbmi,
                                   UINT iUsage, DWORD rop) {
    if (!CheckCopyRop(rop)) return 0;
    const auto destination = DcSurface(hdc);
    if (!destination) return 0;
    DibSource dib;
    // Every scan line of the DIB is there; WrapDib trims the count to the DIB's height.
    if (!WrapDib(lpBits, lpbmi, iUsage, 0, INT32_MAX, dib, xSrc, ySrc, SrcWidth, SrcHeight)) return 0;
    StretchSurface(*destination, Extent{xDest, yDest, DestWidth, DestHeight}, *dib.surface, dib.extent);
    return SrcHeight;
}

WINGDIAPI int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                                       UINT StartScan, UINT cLines, const void* lpvBits, const BITMAPINFO* lpbmi,
                                       UINT ColorUse) {
    const auto destination = DcSurface(hdc);
    if (!destination) return 0;
    if (w > INT32_MAX || h > INT32_MAX || StartScan > INT32_MAX || cLines > INT32_MAX) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int width = static_cast<int>(w);
    const int height = static_cast<int>(h);
    DibSource dib;
    if (!WrapDib(lpvBits, lpbmi, ColorUse, static_cast<int>(StartScan), static_cast<int>(cLines), dib, xSrc, ySrc,
                 width, height))
        return 0;
    StretchSurface(*destination, Extent{xDest, yDest, width, height}, *dib.surface, dib.extent);
    return dib.surface->Height();
}

WINUSERAPI int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    const auto brush = FindGdiObjectAs<BrushObject>(hbr);
    const auto destination = DcSurface(hDC);
    if (!brush || !destination || lprc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (brush->brush.lbStyle == BS_SOLID) FillSurface(*destination, *lprc, RgbFromColorref(brush->brush.lbColor));
    return 1;
}

WINGDIAPI COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    const auto surface = DcSurface(hdc);
    uint32_t rgb = 0;
    if (!surface || !ReadPixel(*surface, x, y, rgb)) return CLR_INVALID;
    return ColorrefFromRgb(rgb);
}

WINGDIAPI COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
    const auto surface = DcSurface(hdc);
    uint32_t written = 0;
    if (!surface || !WritePixel(*surface, x, y, RgbFromColorref(color), written)) return static_cast<COLORREF>(-1);
    return ColorrefFromRgb(written);
}

WINGDIAPI HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    return static_cast<HBRUSH>(InsertGdiObject(std::make_shared<BrushObject>(LOGBRUSH{BS_SOLID, color & 0xFFFFFF, 0})));
}

WINGDIAPI HGDIOBJ WINAPI GetStockObject(int i) { return StockObject(i); }

WINGDIAPI BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    const auto object = FindGdiObject(ho);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object->stock) return TRUE;
    std::lock_guard lock(GdiLock());
    // A bitmap that is selected into a DC stays until the DC lets go of it.
    if (const auto* bitmap = dynamic_cast<const BitmapObject*>(object.get()); bitmap && bitmap->selectedInto)
        return FALSE;
    RemoveGdiObject(ho);
    return TRUE;
}

WINGDIAPI int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
    const auto object = FindGdiObject(h);
    if (!object || c < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return object->Describe(c, pv);
}

WINGDIAPI DWORD WINAPI GetObjectType(HGDIOBJ h) {
    if (const auto object = FindGdiObject(h)) return object->Type();
    if (const auto dc = FindDc(static_cast<HDC>(h))) return dc->window ? OBJ_DC : OBJ_MEMDC;
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

}  // extern "C"
