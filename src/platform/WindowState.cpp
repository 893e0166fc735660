// Window state: visibility, position and size, styles and the other per-window values.
#include "ScreenWindow.h"
#include "Window.h"
#include "WindowFrame.h"

#include <algorithm>
#include <cstring>

using namespace kelvra::platform;

namespace {

thread_local HWND focusWindow = nullptr;

// Moves and sizes a window (rect in parent client coordinates) and tells it what changed.
void Reposition(const std::shared_ptr<Window>& window, const RECT& rect, bool repaint) {
    bool moved = false;
    bool resized = false;
    int clientWidth = 0;
    int clientHeight = 0;
    POINT clientOrigin{};
    {
        std::lock_guard lock(WindowLock());
        const RECT old = window->rect;
        moved = old.left != rect.left || old.top != rect.top;
        resized = old.right - old.left != rect.right - rect.left || old.bottom - old.top != rect.bottom - rect.top;
        window->rect = rect;
        UpdateClientAreaLocked(*window);
        clientWidth = window->ClientWidth();
        clientHeight = window->ClientHeight();
        clientOrigin = POINT{rect.left + window->frameInsets.left, rect.top + window->frameInsets.top};
        if (repaint && resized) InvalidateLocked(*window, nullptr, true);
    }
    if (resized) SendToWindow(window->handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(clientWidth, clientHeight));
    if (moved) SendToWindow(window->handle, WM_MOVE, 0, MAKELPARAM(clientOrigin.x, clientOrigin.y));
}

bool SetVisible(const std::shared_ptr<Window>& window, bool visible) {
    bool wasVisible = false;
    {
        std::lock_guard lock(WindowLock());
        wasVisible = (window->style & WS_VISIBLE) != 0;
        if (wasVisible == visible) return wasVisible;
        if (visible)
            window->style |= WS_VISIBLE;
        else
            window->style &= ~WS_VISIBLE;
        if (window->screen) window->screen->SetVisible(visible);
    }
    SendToWindow(window->handle, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
    std::lock_guard lock(WindowLock());
    if (visible)
        InvalidateLocked(*window, nullptr, true);
    else if (window->queue)
        window->queue->SetPaintPending(window->handle, false);
    return wasVisible;
}

bool ExtraBytesIndex(const Window& window, int index) {
    return index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= window.extraBytes.size();
}

}  // namespace

namespace kelvra::platform {

// The user resized the window on the display: the window's thread learns it as it would from a
// MoveWindow, with WM_SIZE and a repaint.
// A program's MoveWindow that came in between is newer than the report and wins.
void OnScreenResized(HWND hwnd, int clientWidth, int clientHeight, unsigned long basis) {
    const auto window = FindWindowObject(hwnd, false);
    if (!window || !window->queue) return;
    window->queue->RunOnOwner([hwnd, clientWidth, clientHeight, basis] {
        const auto target = FindWindowObject(hwnd, false);
        if (!target) return;
        RECT rect{};
        {
            std::lock_guard lock(WindowLock());
            if (target->gone || (target->screen && target->screen->PlacedSince(basis))) return;
            rect = target->rect;
            rect.right = rect.left + target->frameInsets.left + clientWidth + target->frameInsets.right;
            rect.bottom = rect.top + target->frameInsets.top + clientHeight + target->frameInsets.bottom;
        }
        Reposition(target, rect, true);
    });
}

}  // namespace kelvra::platform

extern "C" {

WINUSERAPI BOOL WINAPI IsWindow(HWND hWnd) { return FindWindowObject(hWnd, false) ? TRUE : FALSE; }

WINUSERAPI BOOL WINAPI IsWindowVisible(HWND hWnd) {
    const auto window = FindWindowObject(hWnd, false);
    if (!window) return FALSE;
    std::lock_guard lock(WindowLock());
    return IsVisibleLocked(*window) ? TRUE : FALSE;
}

WINUSERAPI BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return FALSE;
    return SetVisible(window, nCmdShow != SW_HIDE) ? TRUE : FALSE;
}

WINUSERAPI HWND WINAPI SetFocus(HWND hWnd) {
    if (hWnd != nullptr && !FindWindowObject(hWnd)) return nullptr;
    const HWND previous = IsWindow(focusWindow) ? focusWindow : nullptr;
    focusWindow = hWnd;
    return previous;
}

WINUSERAPI HWND WINAPI GetFocus(void) { return IsWindow(focusWindow) ? focusWindow : nullptr; }

WINUSERAPI BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return FALSE;
    Reposition(window, RECT{X, Y, X + std::max(nWidth, 0), Y + std::max(nHeight, 0)}, bRepaint != FALSE);
    return TRUE;
}

WINUSERAPI BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    (void)hWndInsertAfter;  // windows never overlap on a screen here, so the z-order has no effect
    const auto window = FindWindowObject(hWnd);
    if (!window) return FALSE;
    RECT rect{};
    {
        std::lock_guard lock(WindowLock());
        rect = window->rect;
        if (uFlags & SWP_FRAMECHANGED) UpdateClientAreaLocked(*window);
    }
    if (!(uFlags & SWP_NOMOVE)) {
        rect.right += X - rect.left;
        rect.bottom += Y - rect.top;
        rect.left = X;
        rect.top = Y;
    }
    if (!(uFlags & SWP_NOSIZE)) {
        rect.right = rect.left + std::max(cx, 0);
        rect.bottom = rect.top + std::max(cy, 0);
    }
    Reposition(window, rect, !(uFlags & SWP_NOREDRAW));
    if (uFlags & SWP_SHOWWINDOW)
        SetVisible(window, true);
    else if (uFlags & SWP_HIDEWINDOW)
        SetVisible(window, false);
    return TRUE;
}

WINUSERAPI BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    const auto window = FindWindowObject(hWnd);
    if (!window || lpRect == nullptr) return FALSE;
    std::lock_guard lock(WindowLock());
    *lpRect = RECT{0, 0, window->ClientWidth(), window->ClientHeight()};
    return TRUE;
}

WINUSERAPI BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    const auto window = FindWindowObject(hWnd);
    if (!window || lpRect == nullptr) return FALSE;
    std::lock_guard lock(WindowLock());
    POINT origin{};
    if (const auto parent = FindWindowObject(window->parent, false)) origin = ClientOriginOnScreenLocked(*parent);
    *lpRect = RECT{window->rect.left + origin.x, window->rect.top + origin.y, window->rect.right + origin.x,
                   window->rect.bottom + origin.y};
    return TRUE;
}

WINUSERAPI BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    const auto window = FindWindowObject(hWnd);
    if (!window || lpPoint == nullptr) return FALSE;
    std::lock_guard lock(WindowLock());
    const POINT origin = ClientOriginOnScreenLocked(*window);
    lpPoint->x += origin.x;
    lpPoint->y += origin.y;
    return TRUE;
}

WINUSERAPI BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    const auto window = FindWindowObject(hWnd);
    if (!window || lpPoint == nullptr) return FALSE;
    std::lock_guard lock(WindowLock());
    const POINT origin = ClientOriginOnScreenLocked(*window);
    lpPoint->x -= origin.x;
    lpPoint->y -= origin.y;
    return TRUE;
}

WINUSERAPI HWND WINAPI GetParent(HWND hWnd) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return nullptr;
    std::lock_guard lock(WindowLock());
    if (window->style & WS_CHILD) return window->parent;
    // A top-level window reports its owner only when it is a pop-up, as on Windows.
    return (window->style & WS_POPUP) ? window->owner : nullptr;
}

WINUSERAPI HWND WINAPI GetDesktopWindow(void) { return DesktopWindow()->handle; }

WINUSERAPI int WINAPI GetDlgCtrlID(HWND hWnd) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return 0;
    std::lock_guard lock(WindowLock());
    return (window->style & WS_CHILD) ? static_cast<int>(window->id) : 0;
}

WINUSERAPI LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return 0;
    std::lock_guard lock(WindowLock());
    switch (nIndex) {
        case GWL_STYLE:
            return static_cast<LONG>(window->style);
        case GWL_EXSTYLE:
            return static_cast<LONG>(window->exStyle);
        case GWLP_ID:
            return window->id;
        case GWLP_USERDATA:
            return window->userData;
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(window->proc);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(window->instance);
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>((window->style & WS_CHILD) ? window->parent : window->owner);
        default:
            if (!ExtraBytesIndex(*window, nIndex)) {
                SetLastError(ERROR_INVALID_INDEX);
                return 0;
            }
            LONG_PTR value = 0;
            std::memcpy(&value, window->extraBytes.data() + nIndex, sizeof(value));
            return value;
    }
}

WINUSERAPI LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return 0;
    std::lock_guard lock(WindowLock());
    LONG_PTR previous = 0;
    switch (nIndex) {
        case GWL_STYLE:
            previous = static_cast<LONG>(window->style);
            window->style = static_cast<DWORD>(dwNewLong);
            break;
        case GWL_EXSTYLE:
            previous = static_cast<LONG>(window->exStyle);
            window->exStyle = static_cast<DWORD>(dwNewLong);
            break;
        case GWLP_ID:
            previous = window->id;
            window->id = dwNewLong;
            break;
        case GWLP_USERDATA:
            previous = window->userData;
            window->userData = dwNewLong;
            break;
        case GWLP_WNDPROC:
            if (dwNewLong == 0) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            previous = reinterpret_cast<LONG_PTR>(window->proc);
            window->proc = reinterpret_cast<WNDPROC>(dwNewLong);
            break;
        default:
            if (!ExtraBytesIndex(*window, nIndex)) {
                SetLastError(ERROR_INVALID_INDEX);
                return 0;
            }
            std::memcpy(&previous, window->extraBytes.data() + nIndex, sizeof(previous));
            std::memcpy(window->extraBytes.data() + nIndex, &dwNewLong, sizeof(dwNewLong));
            break;
    }
    return previous;
}

WINUSERAPI int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    const auto window = FindWindowObject(hWnd);
    if (!window || lpString == nullptr || nMaxCount <= 0) return 0;
    std::lock_guard lock(WindowLock());
    const size_t length = std::min(window->text.size(), static_cast<size_t>(nMaxCount - 1));
    std::memcpy(lpString, window->text.data(), length);
    lpString[length] = '\0';
    return static_cast<int>(length);
}

WINUSERAPI BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return FALSE;
    std::lock_guard lock(WindowLock());
    window->text = lpString ? lpString : "";
    if (window->screen) window->screen->SetTitle(window->text);
    return TRUE;
}

}  // extern "C"
