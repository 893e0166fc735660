// Repainting, window DCs and the default window procedure.
#include "DeviceContext.h"
#include "Window.h"

using namespace kelvra::platform;

namespace {

std::shared_ptr<Window> WindowOrDesktop(HWND hwnd) {
    return hwnd == nullptr ? DesktopWindow() : FindWindowObject(hwnd);
}

}  // namespace

extern "C" {

WINUSERAPI BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
    if (hWnd == nullptr) {  // every window
        for (HWND hwnd : TopLevelWindows()) InvalidateRect(hwnd, nullptr, bErase);
        return TRUE;
    }
    const auto window = FindWindowObject(hWnd);
    if (!window) return FALSE;
    std::lock_guard lock(WindowLock());
    InvalidateLocked(*window, lpRect, bErase != FALSE);
    return TRUE;
}

// Validates the whole update area when lpRect covers it; a partial validation keeps the
// remaining bounds pending, which repaints a little more than Windows would, never less.
WINUSERAPI BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return FALSE;
    std::lock_guard lock(WindowLock());
    const RECT& update = window->update;
    if (lpRect == nullptr || (lpRect->left <= update.left && lpRect->top <= update.top &&
                              lpRect->right >= update.right && lpRect->bottom >= update.bottom))
        ValidateLocked(*window);
    return TRUE;
}

WINUSERAPI BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase) {
    (void)bErase;
    const auto window = FindWindowObject(hWnd);
    if (!window) return FALSE;
    std::lock_guard lock(WindowLock());
    if (lpRect) *lpRect = window->updatePending ? window->update : RECT{};
    return window->updatePending ? TRUE : FALSE;
}

WINUSERAPI HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    const auto window = FindWindowObject(hWnd);
    if (!window || lpPaint == nullptr) return nullptr;
    const HDC hdc = GetDC(hWnd);
    if (hdc == nullptr) return nullptr;
    bool erase = false;
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = hdc;
    {
        std::lock_guard lock(WindowLock());
        lpPaint->rcPaint = window->updatePending ? window->update : RECT{};
        erase = window->erasePending;
        ValidateLocked(*window);
    }
    // fErase tells the caller that the background still needs erasing.
    lpPaint->fErase = erase && SendToWindow(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) == 0;
    return hdc;
}

WINUSERAPI BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    if (lpPaint == nullptr) return FALSE;
    ReleaseDC(hWnd, lpPaint->hdc);
    return TRUE;
}

WINUSERAPI BOOL WINAPI UpdateWindow(HWND hWnd) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return FALSE;
    bool paint = false;
    {
        std::lock_guard lock(WindowLock());
        paint = window->updatePending && IsVisibleLocked(*window);
    }
    if (paint) SendToWindow(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

// Every GetDC of a window returns the same DC, drawing into the same client pixels.
WINUSERAPI HDC WINAPI GetDC(HWND hWnd) {
    const auto window = WindowOrDesktop(hWnd);
    if (!window) return nullptr;
    std::lock_guard lock(WindowLock());
    if (window->gone) return nullptr;
    if (window->dc == nullptr) window->dc = CreateWindowDc(window);
    return window->dc;
}

WINUSERAPI int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
    const auto window = WindowOrDesktop(hWnd);
    if (!window || hDC == nullptr) return 0;
    std::lock_guard lock(WindowLock());
    return window->dc == hDC ? 1 : 0;
}

WINUSERAPI LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (Msg) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hWnd);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (BeginPaint(hWnd, &paint)) EndPaint(hWnd, &paint);
            return 0;
        }
        case WM_ERASEBKGND: {
            const auto window = FindWindowObject(hWnd, false);
            if (!window || !window->windowClass || window->windowClass->info.hbrBackground == nullptr) return 0;
            RECT client{};
            GetClientRect(hWnd, &client);
            return FillRect(reinterpret_cast<HDC>(wParam), &client, window->windowClass->info.hbrBackground) ? 1 : 0;
        }
        default:
            return 0;
    }
}

}  // extern "C"
