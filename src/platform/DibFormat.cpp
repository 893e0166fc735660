#include "DibFormat.h"

#include <cstring>
#include <limits>

namespace kelvra::platform {

namespace {

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

bool SupportedDepth(WORD bitCount) {
    switch (bitCount) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool ReadDibLayout(const BITMAPINFO* info, UINT usage, DibLayout& layout) {
    if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 || header.biWidth <= 0 ||
        header.biHeight == 0 || header.biHeight == std::numeric_limits<LONG>::min() ||
        !SupportedDepth(header.biBitCount) || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS))
        return Fail(ERROR_INVALID_PARAMETER);

    const bool bitfields = header.biCompression == BI_BITFIELDS;
    if (header.biCompression != BI_RGB && !(bitfields && (header.biBitCount == 16 || header.biBitCount == 32)))
        return Fail(ERROR_INVALID_PARAMETER);

    layout.width = header.biWidth;
    layout.height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    layout.bottomUp = header.biHeight > 0;
    layout.format = PixelFormat{};
    layout.format.bitCount = header.biBitCount;

    const auto* tableStart = reinterpret_cast<const BYTE*>(info) + header.biSize;
    if (header.biBitCount == 16) {
        layout.format.redMask = 0x7C00;
        layout.format.greenMask = 0x03E0;
        layout.format.blueMask = 0x001F;
    }
    if (bitfields) {
        // A plain 40-byte header is followed by the three masks; longer headers hold them inside.
        const BYTE* masks =
            header.biSize == sizeof(BITMAPINFOHEADER) ? tableStart : reinterpret_cast<const BYTE*>(info) + 40;
        if (header.biSize != sizeof(BITMAPINFOHEADER) && header.biSize < 52) return Fail(ERROR_INVALID_PARAMETER);
        std::memcpy(&layout.format.redMask, masks, 4);
        std::memcpy(&layout.format.greenMask, masks + 4, 4);
        std::memcpy(&layout.format.blueMask, masks + 8, 4);
        if (layout.format.redMask == 0 || layout.format.greenMask == 0 || layout.format.blueMask == 0)
            return Fail(ERROR_INVALID_PARAMETER);
    }
    if (header.biBitCount <= 8) {
        if (usage != DIB_RGB_COLORS) return Fail(ERROR_NOT_SUPPORTED);
        const DWORD maximum = DWORD{1} << header.biBitCount;
        const DWORD count = header.biClrUsed == 0 || header.biClrUsed > maximum ? maximum : header.biClrUsed;
        layout.format.colors.resize(count);
        std::memcpy(layout.format.colors.data(), tableStart, count * sizeof(RGBQUAD));
    }
    return true;
}

}  // namespace kelvra::platform
