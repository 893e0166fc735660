#include "session/PreviewWindow.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "imaging/ConverterArgs.h"
#include "imaging/Converters.h"
#include "imaging/DibImage.h"
#include "session/SessionImages.h"

namespace {

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
constexpr DWORD kTopLevelStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
static_assert(kChildStyle == 0x52000000 && kTopLevelStyle == 0x16CF0000, "the styles applications look for");
constexpr int kChildId = 6540;
constexpr char kChildTitle[] = "ActiveMovie Window";
constexpr char kTopLevelTitle[] = "Active Window";

// The window paints nothing itself: frames reach it only through its DC.
LRESULT CALLBACK PreviewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
#ifdef _WIN32
    if (message == WM_GETMINMAXINFO) {
        // The client is the capture size, however small or large: Windows would otherwise widen a
        // narrow top-level window to its minimum tracking width and cut one larger than the screen
        // down to it, and the picture would no longer fill the client one pixel for one.
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = POINT{1, 1};
        limits->ptMaxTrackSize = POINT{SHRT_MAX, SHRT_MAX};
        return 0;
    }
#endif
    return DefWindowProcA(window, message, wParam, lParam);
}

// Copy24 and Convert48To24Shift5 step through their source in 3- and 6-byte pixels, so on the
// 32- and 64-bit outputs they would read across pixel boundaries and shear the picture. These
// narrowings keep their per-pixel results but step by the source's own pixel size.
template <int Shift>
int64_t NarrowTo24(const ConverterArgs& args) {
    if (args.Empty()) return 1;
    const int32_t width = args.Width();
    const int32_t sourceStep = args.sourceBytesPerPixel;
    for (int32_t k = 0; k < args.Height(); ++k) {
        BYTE* d = args.DestRow(k);
        const BYTE* s = args.SourceRow(k);
        for (int32_t x = 0; x < width; ++x, d += 3, s += sourceStep) {
            if constexpr (Shift == 0) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            } else {
                const auto* samples = reinterpret_cast<const uint16_t*>(s);
                for (int c = 0; c < 3; ++c) d[c] = static_cast<BYTE>((samples[c] >> Shift) & 0xFF);
            }
        }
    }
    return 1;
}

KELVRA_CONVERTER(Narrow32To24) { return NarrowTo24<0>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Narrow64To24Shift5) { return NarrowTo24<5>(KELVRA_CONVERTER_ARGS); }

// The 8- or 24-bit image the window shows for colourMode, after writing the display copy of
// the modes whose output GDI cannot draw (16-bit grey, 32-bit alpha, 48/64-bit colour).
DibImage* ShownImage(SessionImages& images, int32_t colourMode) {
    DibImage* raw8 = images.raw8.get();
    DibImage* rgb24 = images.rgb24.get();
    switch (colourMode) {
        case 0:
            return raw8;
        case 1:
            if (!raw8) return nullptr;
            TransferImage(raw8, Convert16HighByte, images.raw16.get(), nullptr, 0, 0, nullptr, nullptr);
            return raw8;
        case 2:
            return rgb24;
        case 3:
            if (!rgb24) return nullptr;
            TransferImage(rgb24, Narrow32To24, images.rgb32.get(), nullptr, 0, 0, nullptr, nullptr);
            return rgb24;
        case 4:
            if (!rgb24) return nullptr;
            TransferImage(rgb24, Convert48To24Shift5, images.rgb48.get(), nullptr, 0, 0, nullptr, nullptr);
            return rgb24;
        case 5:
            if (!rgb24) return nullptr;
            TransferImage(rgb24, Narrow64To24Shift5, images.rgb64.get(), nullptr, 0, 0, nullptr, nullptr);
            return rgb24;
        default:
            return nullptr;
    }
}

uint16_t DisplayBits(int32_t colourMode) { return colourMode <= 1 ? 8 : 24; }

// Remakes display only when its size or depth differs, so steady frames never allocate.
bool FitDisplay(DibImage& display, int32_t width, int32_t height, uint16_t bitsPerPixel) {
    if (display.bits && display.width == width && display.height == height && display.bitsPerPixel == bitsPerPixel)
        return true;
    // CreateImage gives 8-bit images the grey palette.
    return CreateImage(&display, width, height, bitsPerPixel) != 0;
}

}  // namespace

PreviewWindow::~PreviewWindow() { Destroy(); }

void PreviewWindow::SetPlacement(HWND newParent, const RECT& rect) {
    parent = newParent;
    placement = rect;
}

bool PreviewWindow::Wanted() const {
    return parent != nullptr || placement.left != 0 || placement.top != 0 || placement.right != 0 ||
           placement.bottom != 0;
}

bool PreviewWindow::Create(const void* owner, int32_t captureWidth, int32_t captureHeight) {
    Destroy();
    if (!Wanted()) return false;

    const HINSTANCE module = GetModuleHandleA(nullptr);
    const auto ownerBits = static_cast<unsigned>(reinterpret_cast<uintptr_t>(owner) & 0xFFFFFFFFu);
    const auto stamp = static_cast<unsigned>(timeGetTime() + static_cast<DWORD>(std::rand()));
    std::snprintf(className, sizeof className, "VideoRenderer_%08x_%08x", ownerBits, stamp);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = PreviewWindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = className;
    if (!RegisterClassExA(&windowClass)) {
        className[0] = '\0';
        return false;
    }

    if (parent) {
        // The placement holds x, y, width and height, not a rectangle's corners.
        window = CreateWindowExA(0, className, kChildTitle, kChildStyle, placement.left, placement.top, placement.right,
                                 placement.bottom, parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(kChildId)),
                                 module, nullptr);
    } else {
        RECT outer{0, 0, captureWidth, captureHeight};
        AdjustWindowRectEx(&outer, kTopLevelStyle, FALSE, 0);
        const int outerWidth = outer.right - outer.left;
        const int outerHeight = outer.bottom - outer.top;
        int x = (GetSystemMetrics(SM_CXSCREEN) - outerWidth) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - outerHeight) / 2;
        if (x < 0) x = 0;
        if (y < 0) y = 0;
        window = CreateWindowExA(0, className, kTopLevelTitle, kTopLevelStyle, x, y, outerWidth, outerHeight, nullptr,
                                 nullptr, module, nullptr);
    }
    if (!window) {
        Destroy();
        return false;
    }

    SetFocus(window);
    ShowWindow(window, SW_SHOW);
    // A window that cannot be brought up is of no use to the caller, who would not know to
    // destroy it.
    if (!UpdateWindow(window)) {
        Destroy();
        return false;
    }
    dc = GetDC(window);
    if (!dc) {
        Destroy();
        return false;
    }
    return true;
}

void PreviewWindow::Destroy() {
    if (dc) ReleaseDC(window, dc);
    dc = nullptr;
    // Fails harmlessly when the application already destroyed the window with its parent.
    if (window) DestroyWindow(window);
    window = nullptr;
    if (className[0] != '\0') UnregisterClassA(className, GetModuleHandleA(nullptr));
    className[0] = '\0';
}

bool PreviewWindow::ClientSize(int32_t& width, int32_t& height) const {
    if (!window || !dc || !IsWindowVisible(window)) return false;
    RECT client{};
    if (!GetClientRect(window, &client)) return false;
    width = client.right - client.left;
    height = client.bottom - client.top;
    return width > 0 && height > 0;
}

bool PreviewWindow::PrepareDisplay(SessionImages& images, int32_t colourMode) {
    int32_t width = 0, height = 0;
    if (!ClientSize(width, height)) return true;
    if (!images.display) return false;
    return FitDisplay(*images.display, width, height, DisplayBits(colourMode));
}

void PreviewWindow::Draw(SessionImages& images, int32_t colourMode) {
    // Checked first so that a hidden window costs no conversion pass.
    int32_t width = 0, height = 0;
    if (!ClientSize(width, height)) return;
    DibImage* image = ShownImage(images, colourMode);
    if (!image || !image->bits) return;

    if (width == image->width && height == image->height && image->memoryDc) {
        // A negative source extent mirrors inclusively from the origin, so the flip that puts
        // storage row 0 (the bottom DIB row) at the top starts at row height - 1.
        StretchBlt(dc, 0, 0, width, height, image->memoryDc, 0, height - 1, width, -height, SRCCOPY);
        return;
    }

    DibImage* display = images.display.get();
    if (!display || !FitDisplay(*display, width, height, DisplayBits(colourMode))) return;
    // The scaling converters read source rows bottom-up, which puts storage row 0 at the top.
    TransferImageScaled(display, colourMode <= 1 ? ScaleNearest8 : ScaleNearest24, image, nullptr, nullptr, nullptr,
                        nullptr);
    BitBlt(dc, 0, 0, width, height, display->memoryDc, 0, 0, SRCCOPY);
}
