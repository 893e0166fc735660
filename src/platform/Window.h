// Windows: the table of live windows, their state, and calls into their window procedures.
#pragma once

#include "Surface.h"
#include "ThreadQueue.h"
#include "WindowClass.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kelvra::platform {

class ScreenWindow;

struct Window {
    HWND handle = nullptr;
    DWORD threadId = 0;
    std::shared_ptr<ThreadQueue> queue;  // null only for the desktop window
    std::shared_ptr<WindowClass> windowClass;

    // Everything below is guarded by WindowLock().
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;  // child windows only
    HWND owner = nullptr;   // owned top-level windows
    bool messageOnly = false;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    std::vector<BYTE> extraBytes;
    RECT rect{};         // in the parent's client coordinates; screen coordinates for top-level windows
    RECT frameInsets{};  // client area = rect shrunk by these amounts
    std::string text;
    RECT update{};  // bounds of the area to repaint, client coordinates
    bool updatePending = false;
    bool erasePending = false;
    bool destroying = false;
    bool gone = false;  // removed from the table; posts are refused
    std::vector<HWND> children;
    std::shared_ptr<Surface> surface;      // client pixels, made by the first GetDC
    std::shared_ptr<ScreenWindow> screen;  // the window on an X display, when there is one
    HDC dc = nullptr;

    int ClientWidth() const;
    int ClientHeight() const;
};

// Guards the state of every window. Never held while a window procedure runs.
std::mutex& WindowLock();

// The window behind a handle, or null (with ERROR_INVALID_WINDOW_HANDLE when report is set).
std::shared_ptr<Window> FindWindowObject(HWND hwnd, bool report = true);
HWND InsertWindow(const std::shared_ptr<Window>& window);

// The desktop window: the virtual primary screen. Made on first use.
std::shared_ptr<Window> DesktopWindow();

// Posts to the window's thread queue; false with the last error set when the window is gone.
bool PostToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::shared_ptr<void> payload = {});

// Runs the window procedure on the window's own thread: directly when that is the caller,
// else through the owner's queue, waiting for the result.
LRESULT SendToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Destroys a window and its children, sending WM_DESTROY and WM_NCDESTROY.
void DestroyWindowTree(const std::shared_ptr<Window>& window);

// Windows without a parent that are not message-only (the ones HWND_BROADCAST reaches).
std::vector<HWND> TopLevelWindows();

// The thread ended: its windows go without messages, as nobody is left to receive them.
void DestroyThreadWindows(DWORD threadId);

// Screen position of the client area's top-left corner. Caller holds WindowLock().
POINT ClientOriginOnScreenLocked(const Window& window);

// The client rectangle in the parent's client coordinates (the screen's for top-level windows).
// Caller holds WindowLock().
RECT ClientRectInParentLocked(const Window& window);

// Recomputes frame insets from the styles and makes the client pixels, and the window on the
// display, follow the client rectangle. Caller holds WindowLock().
void UpdateClientAreaLocked(Window& window);

// Marks part of the client area (null: all) for repainting. Caller holds WindowLock().
void InvalidateLocked(Window& window, const RECT* rect, bool erase);
void ValidateLocked(Window& window);

// WS_VISIBLE on the window and every ancestor. Caller holds WindowLock().
bool IsVisibleLocked(const Window& window);

// The window's client pixels, made at the client size on first use.
std::shared_ptr<Surface> WindowSurface(const std::shared_ptr<Window>& window);

}  // namespace kelvra::platform
