// Creating and destroying windows, window classes and the small module/cursor helpers.
#include "ScreenWindow.h"
#include "Window.h"
#include "WindowFrame.h"

using namespace kelvra::platform;

namespace {

// Where Windows cascades a new top-level window that asked for the default place and size.
constexpr int kDefaultX = 26;
constexpr int kDefaultY = 26;

struct Placement {
    int x, y, width, height;
};

Placement ResolvePlacement(int x, int y, int width, int height, bool child) {
    if (x == CW_USEDEFAULT) {
        x = child ? 0 : kDefaultX;
        y = child ? 0 : kDefaultY;
    }
    if (width == CW_USEDEFAULT) {
        width = child ? 0 : kScreenWidth * 3 / 4;
        height = child ? 0 : kScreenHeight * 3 / 4;
    }
    if (y == CW_USEDEFAULT) y = 0;
    if (height == CW_USEDEFAULT) height = 0;
    return Placement{x, y, width < 0 ? 0 : width, height < 0 ? 0 : height};
}

bool ResolveParent(HWND parent, DWORD style, std::shared_ptr<Window>& window) {
    if (parent == HWND_MESSAGE) {
        window->messageOnly = true;
        return true;
    }
    if (parent != nullptr && !FindWindowObject(parent)) return false;
    if (style & WS_CHILD) {
        if (parent == nullptr) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return false;
        }
        window->parent = parent;
    } else {
        window->owner = parent;
    }
    return true;
}

// On a display, the window gets an X window of its own before WM_CREATE, so that children made
// there find their parent's. Message-only windows and children of windows that are not on
// screen stay off screen.
void AttachScreen(const std::shared_ptr<Window>& window, const std::shared_ptr<Window>& parent) {
    if (window->messageOnly) return;
    std::shared_ptr<ScreenWindow> parentScreen;
    RECT client{};
    std::string title;
    {
        std::lock_guard lock(WindowLock());
        if (parent) parentScreen = parent->screen;
        client = ClientRectInParentLocked(*window);
        title = window->text;
    }
    if (window->parent != nullptr && !parentScreen) return;
    // Connecting (the first time) happens outside the window lock: a slow server must not hold
    // up every other thread's windows.
    auto screen = ScreenWindow::Create(window->handle, parentScreen.get(), client, title);
    if (!screen) return;
    std::lock_guard lock(WindowLock());
    window->screen = std::move(screen);
    // The window may have moved meanwhile.
    window->screen->Place(ClientRectInParentLocked(*window));
}

LRESULT SendCreation(const std::shared_ptr<Window>& window, UINT message, CREATESTRUCTA& create) {
    return SendToWindow(window->handle, message, 0, reinterpret_cast<LPARAM>(&create));
}

}  // namespace

extern "C" {

WINUSERAPI HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                                       int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                       HINSTANCE hInstance, LPVOID lpParam) {
    auto window = std::make_shared<Window>();
    if (!ResolveParent(hWndParent, dwStyle, window)) return nullptr;
    const bool child = (dwStyle & WS_CHILD) != 0;
    if (!child && hMenu != nullptr) {  // there are no menus to attach
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    window->windowClass = FindWindowClass(lpClassName, hInstance, true);
    if (!window->windowClass) return nullptr;

    // Overlapped windows always carry a caption and clip their siblings.
    DWORD style = dwStyle;
    DWORD exStyle = dwExStyle;
    if (!child && !(style & WS_POPUP) && !window->messageOnly) {
        style |= WS_CLIPSIBLINGS | WS_CAPTION;
        exStyle |= WS_EX_WINDOWEDGE;
    }
    const Placement placement = ResolvePlacement(X, Y, nWidth, nHeight, child || window->messageOnly);

    window->threadId = GetCurrentThreadId();
    window->queue = CurrentQueue();
    window->proc = window->windowClass->info.lpfnWndProc;
    window->style = style & ~WS_VISIBLE;  // shown once WM_CREATE has succeeded
    window->exStyle = exStyle;
    window->id = child ? reinterpret_cast<LONG_PTR>(hMenu) : 0;
    window->instance = NormalizeInstance(hInstance);
    window->extraBytes.assign(static_cast<size_t>(window->windowClass->info.cbWndExtra), 0);
    window->rect = RECT{placement.x, placement.y, placement.x + placement.width, placement.y + placement.height};
    window->text = lpWindowName ? lpWindowName : "";
    {
        std::lock_guard lock(WindowLock());
        UpdateClientAreaLocked(*window);
    }
    const HWND hwnd = InsertWindow(window);
    const auto parent = FindWindowObject(window->parent, false);
    if (parent) {
        std::lock_guard lock(WindowLock());
        parent->children.push_back(hwnd);
    }
    AttachScreen(window, parent);

    CREATESTRUCTA create{};
    create.lpCreateParams = lpParam;
    create.hInstance = window->instance;
    create.hMenu = hMenu;
    create.hwndParent = window->messageOnly ? HWND_MESSAGE : hWndParent;
    create.cx = placement.width;
    create.cy = placement.height;
    create.x = placement.x;
    create.y = placement.y;
    create.style = static_cast<LONG>(style);
    create.lpszName = lpWindowName;
    create.lpszClass = lpClassName;
    create.dwExStyle = exStyle;
    if (!SendCreation(window, WM_NCCREATE, create) || SendCreation(window, WM_CREATE, create) == -1) {
        DestroyWindowTree(window);
        return nullptr;
    }
    SendToWindow(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->ClientWidth(), window->ClientHeight()));
    SendToWindow(hwnd, WM_MOVE, 0,
                 MAKELPARAM(window->rect.left + window->frameInsets.left, window->rect.top + window->frameInsets.top));
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

WINUSERAPI BOOL WINAPI DestroyWindow(HWND hWnd) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return FALSE;
    // Only the thread that made a window may destroy it.
    if (!window->queue || window->threadId != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DestroyWindowTree(window);
    return TRUE;
}

WINUSERAPI ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpwcx) {
    if (lpwcx == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return RegisterWindowClass(*lpwcx);
}

WINUSERAPI BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance) {
    return UnregisterWindowClass(lpClassName, hInstance) ? TRUE : FALSE;
}

WINUSERAPI BOOL WINAPI GetClassInfoExA(HINSTANCE hInstance, LPCSTR lpszClass, LPWNDCLASSEXA lpwcx) {
    if (lpwcx == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto windowClass = FindWindowClass(lpszClass, hInstance, false);
    if (!windowClass) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *lpwcx = windowClass->info;
    // The result is the atom, as Windows returns it.
    return windowClass->atom;
}

WINUSERAPI HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName != nullptr) {  // only the executable has a module handle here
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return MainModule();
}

// Cursors and icons are never drawn; their handles only need to be distinct and non-null.
WINUSERAPI HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    (void)hInstance;
    static char cursor;
    return lpCursorName ? reinterpret_cast<HCURSOR>(&cursor) : nullptr;
}

WINUSERAPI HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    (void)hInstance;
    static char icon;
    return lpIconName ? reinterpret_cast<HICON>(&icon) : nullptr;
}

}  // extern "C"
