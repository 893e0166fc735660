#include "Window.h"

#include "DeviceContext.h"
#include "HandleTable.h"
#include "ScreenWindow.h"
#include "WindowFrame.h"

#include <algorithm>

namespace kelvra::platform {

namespace {

HandleTable<Window>& Windows() {
    static auto* table = new HandleTable<Window>;
    return *table;
}

HWND AsHwnd(uintptr_t value) { return reinterpret_cast<HWND>(value); }

// Takes the window out of the table and frees what it holds; the handle is dead afterwards.
void Retire(const std::shared_ptr<Window>& window) {
    HDC dc = nullptr;
    std::shared_ptr<Window> parent;
    std::shared_ptr<ScreenWindow> screen;
    std::shared_ptr<Surface> surface;
    {
        std::lock_guard lock(WindowLock());
        if (window->gone) return;
        window->gone = true;
        window->style &= ~WS_VISIBLE;
        dc = window->dc;
        window->dc = nullptr;
        screen = std::move(window->screen);
        surface = window->surface;
        parent = FindWindowObject(window->parent, false);
        if (parent) std::erase(parent->children, window->handle);
        Windows().Remove(reinterpret_cast<uintptr_t>(window->handle));
    }
    if (window->queue) window->queue->DiscardWindow(window->handle);
    if (dc) DeleteWindowDc(dc);
    // A worker still drawing keeps the pixels, but nothing shows them any more; the X window
    // goes with the last reference.
    if (surface) {
        std::lock_guard pixels(surface->Mutex());
        surface->DetachScreen();
    }
    screen.reset();
    if (window->windowClass) ReleaseClassWindow(*window->windowClass);
}

std::vector<std::shared_ptr<Window>> ChildrenOf(const Window& window) {
    std::vector<std::shared_ptr<Window>> children;
    std::lock_guard lock(WindowLock());
    for (HWND child : window.children) {
        if (auto found = FindWindowObject(child, false)) children.push_back(std::move(found));
    }
    return children;
}

void RetireTree(const std::shared_ptr<Window>& window) {
    for (const auto& child : ChildrenOf(*window)) RetireTree(child);
    Retire(window);
}

}  // namespace

int Window::ClientWidth() const {
    return std::max<int>(0, rect.right - rect.left - frameInsets.left - frameInsets.right);
}

int Window::ClientHeight() const {
    return std::max<int>(0, rect.bottom - rect.top - frameInsets.top - frameInsets.bottom);
}

std::mutex& WindowLock() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<Window> FindWindowObject(HWND hwnd, bool report) {
    auto window = hwnd ? Windows().Find(reinterpret_cast<uintptr_t>(hwnd)) : nullptr;
    if (!window && report) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

HWND InsertWindow(const std::shared_ptr<Window>& window) {
    // The handle is stored before any other thread can find the window.
    std::lock_guard lock(WindowLock());
    const HWND hwnd = AsHwnd(Windows().Insert(window));
    window->handle = hwnd;
    return hwnd;
}

std::shared_ptr<Window> DesktopWindow() {
    static const std::shared_ptr<Window> desktop = [] {
        auto window = std::make_shared<Window>();
        window->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
        window->rect = RECT{0, 0, kScreenWidth, kScreenHeight};
        InsertWindow(window);
        return window;
    }();
    return desktop;
}

bool PostToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::shared_ptr<void> payload) {
    const auto window = FindWindowObject(hwnd);
    if (!window) return false;
    // Posting under the window lock means a window that is being retired either gets the
    // message before its queue discards its messages, or refuses it.
    std::lock_guard lock(WindowLock());
    if (window->gone || !window->queue || !window->queue->Post(hwnd, message, wParam, lParam, std::move(payload))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return true;
}

LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto window = FindWindowObject(hwnd, false);
    if (!window) return 0;
    WNDPROC proc = nullptr;
    {
        std::lock_guard lock(WindowLock());
        proc = window->proc;
    }
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT SendToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto window = FindWindowObject(hwnd);
    if (!window) return 0;
    if (!window->queue || window->threadId == GetCurrentThreadId())
        return CallWindowProcedure(hwnd, message, wParam, lParam);
    return window->queue->SendFrom(*CurrentQueue(), hwnd, message, wParam, lParam);
}

void DestroyWindowTree(const std::shared_ptr<Window>& window) {
    {
        std::lock_guard lock(WindowLock());
        if (window->destroying) return;
        window->destroying = true;
        window->style &= ~WS_VISIBLE;
        ValidateLocked(*window);
    }
    // Parents hear WM_DESTROY before their children, and WM_NCDESTROY after them.
    SendToWindow(window->handle, WM_DESTROY, 0, 0);
    for (const auto& child : ChildrenOf(*window)) DestroyWindowTree(child);
    SendToWindow(window->handle, WM_NCDESTROY, 0, 0);
    Retire(window);
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> handles;
    std::lock_guard lock(WindowLock());
    for (const auto& window : Windows().Snapshot()) {
        if (window->queue && !window->gone && !window->messageOnly && !(window->style & WS_CHILD))
            handles.push_back(window->handle);
    }
    return handles;
}

void DestroyThreadWindows(DWORD threadId) {
    for (const auto& window : Windows().Snapshot()) {
        if (window->queue && window->threadId == threadId) RetireTree(window);
    }
}

POINT ClientOriginOnScreenLocked(const Window& window) {
    POINT origin{window.rect.left + window.frameInsets.left, window.rect.top + window.frameInsets.top};
    if (const auto parent = FindWindowObject(window.parent, false)) {
        const POINT parentOrigin = ClientOriginOnScreenLocked(*parent);
        origin.x += parentOrigin.x;
        origin.y += parentOrigin.y;
    }
    return origin;
}

RECT ClientRectInParentLocked(const Window& window) {
    const int left = window.rect.left + window.frameInsets.left;
    const int top = window.rect.top + window.frameInsets.top;
    return RECT{left, top, left + window.ClientWidth(), top + window.ClientHeight()};
}

void UpdateClientAreaLocked(Window& window) {
    window.frameInsets = window.messageOnly ? RECT{} : FrameInsets(window.style, window.exStyle, false);
    if (window.surface) {
        std::lock_guard pixels(window.surface->Mutex());
        window.surface->Resize(window.ClientWidth(), window.ClientHeight());
    }
    if (window.screen) window.screen->Place(ClientRectInParentLocked(window));
}

void InvalidateLocked(Window& window, const RECT* rect, bool erase) {
    RECT area{0, 0, window.ClientWidth(), window.ClientHeight()};
    if (rect) {
        area.left = std::max(area.left, rect->left);
        area.top = std::max(area.top, rect->top);
        area.right = std::min(area.right, rect->right);
        area.bottom = std::min(area.bottom, rect->bottom);
    }
    if (area.left >= area.right || area.top >= area.bottom) return;
    if (window.updatePending) {
        area.left = std::min(area.left, window.update.left);
        area.top = std::min(area.top, window.update.top);
        area.right = std::max(area.right, window.update.right);
        area.bottom = std::max(area.bottom, window.update.bottom);
    }
    window.update = area;
    window.updatePending = true;
    window.erasePending = window.erasePending || erase;
    if (window.queue && IsVisibleLocked(window)) window.queue->SetPaintPending(window.handle, true);
}

void ValidateLocked(Window& window) {
    window.update = RECT{};
    window.updatePending = false;
    window.erasePending = false;
    if (window.queue) window.queue->SetPaintPending(window.handle, false);
}

bool IsVisibleLocked(const Window& window) {
    if (window.gone || !(window.style & WS_VISIBLE)) return false;
    if (!(window.style & WS_CHILD)) return true;
    const auto parent = FindWindowObject(window.parent, false);
    return parent && IsVisibleLocked(*parent);
}

std::shared_ptr<Surface> WindowSurface(const std::shared_ptr<Window>& window) {
    std::lock_guard lock(WindowLock());
    if (!window->surface && !window->gone)
        window->surface = Surface::Create(window->ClientWidth(), window->ClientHeight(), false, PixelFormat::Bgrx32(),
                                          window->screen);
    return window->surface;
}

void OnScreenExposed(HWND hwnd, const RECT& area, bool repaint) {
    const auto window = FindWindowObject(hwnd, false);
    if (!window) return;
    std::shared_ptr<Surface> surface;
    {
        std::lock_guard lock(WindowLock());
        if (window->gone) return;
        // The surface still holds the picture (as a composited desktop would), so the area is
        // shown again at once; the window procedure hears of it as well, without an erase.
        if (repaint) InvalidateLocked(*window, &area, false);
        surface = window->surface;
    }
    if (surface) {
        std::lock_guard pixels(surface->Mutex());
        surface->Changed(area);
    }
}

void OnScreenCloseRequested(HWND hwnd) {
    const auto window = FindWindowObject(hwnd, false);
    if (!window || !window->queue) return;
    window->queue->RunOnOwner([hwnd] {
        if (IsWindow(hwnd)) SendToWindow(hwnd, WM_CLOSE, 0, 0);
    });
}

}  // namespace kelvra::platform
