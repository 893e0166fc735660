// The window a session shows its frames in: a child of an application window (after
// Kelvra_SetPreviewWindow) or a top-level window centred on the screen, made when an acquisition
// mode starts and drawn into by the acquisition worker once per frame.
//
// Threads: Create, Destroy, SetPlacement and PrepareDisplay run on the application's thread that
// starts and stops the modes; Draw runs on the worker under the session's frameLock. The session
// joins its worker before it destroys the window, so Draw never meets a window this class is
// destroying; a window the application destroys under the worker (its parent closed) only makes
// Draw skip the frame.
#pragma once

#include "kelvra/win32.h"

#include <cstdint>

class SessionImages;

class PreviewWindow {
public:
    PreviewWindow() = default;
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;
    ~PreviewWindow();

    // Where the next window goes: a child of parent at rect (x, y, width, height), or, without a
    // parent, a top-level window unless rect is all zero. Takes effect at the next Create.
    void SetPlacement(HWND parent, const RECT& rect);
    HWND Parent() const { return parent; }
    const RECT& Placement() const { return placement; }
    // Whether starting a mode makes a window: a parent is set or the placement is not all zero.
    bool Wanted() const;

    // Registers a window class of its own (named after owner and the time) and makes the window
    // of the current placement, the top-level kind with a client area of captureWidth x
    // captureHeight; then takes the window's DC. Any window made before is destroyed first, so
    // starting modes again and again leaves one window, one DC and one class. False, with
    // nothing left behind, when the class, the window or the DC cannot be made.
    bool Create(const void* owner, int32_t captureWidth, int32_t captureHeight);
    // Releases the DC, destroys the window and unregisters the class; harmless when there is none.
    void Destroy();

    // Capture set-up: when the window is visible with a non-empty client area and a DC, remakes
    // images.display at the client size (8 bits with a grey palette for colour modes 0 and 1, 24
    // bits for 2..5). False only when memory ran out.
    bool PrepareDisplay(SessionImages& images, int32_t colourMode);
    // Draws the output image of colourMode (0..5) with storage row 0 at the top: straight from
    // the image when the client area has its size, else scaled through images.display, which is
    // remade only when the client size changed. Modes 1, 3, 4 and 5 first write a display copy
    // into raw8 resp. rgb24. Does nothing, not even that copy, for a hidden, destroyed or empty
    // window.
    void Draw(SessionImages& images, int32_t colourMode);

    HWND Window() const { return window; }
    HDC Dc() const { return dc; }
    const char* ClassName() const { return className; }

private:
    // The client size of a visible window with a DC; false when there is nothing to draw into.
    bool ClientSize(int32_t& width, int32_t& height) const;

    HWND parent = nullptr;
    RECT placement = {0, 0, 1280, 1024};
    HWND window = nullptr;
    HDC dc = nullptr;
    char className[256] = {};
};
