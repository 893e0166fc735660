// A platform window's counterpart on an X display. The connection to the X server and every X
// call live behind this header, in XDisplay.cpp; no X type reaches the rest of the library.
#pragma once

#include "Surface.h"

#include <memory>
#include <string>

namespace kelvra::platform {

class ScreenWindow : public SurfaceScreen {
public:
    // An unmapped X window for hwnd whose client area is client: in the parent's client
    // coordinates, or the screen's for a top-level window (parent null). Null when nothing is
    // shown: DISPLAY unset, no server answering (tried once per process), or no visual that
    // shows 32-bit BGRX pixels as they are.
    static std::shared_ptr<ScreenWindow> Create(HWND hwnd, const ScreenWindow* parent, const RECT& client,
                                                const std::string& title);

    // The X window goes with the object.
    ~ScreenWindow() override;
    ScreenWindow(const ScreenWindow&) = delete;
    ScreenWindow& operator=(const ScreenWindow&) = delete;

    void Place(const RECT& client);
    // Whether the program moved or sized the window after the request serial.
    bool PlacedSince(unsigned long serial) const;
    void SetVisible(bool visible);
    void SetTitle(const std::string& title);

    std::unique_ptr<PixelMemory> Allocate(int width, int height, size_t stride) override;
    void Show(const Surface& surface, const RECT& area) override;

    // Everything below is guarded by the display's lock.
    HWND hwnd = nullptr;
    unsigned long xid = 0;
    bool topLevel = false;
    bool visible = false;
    bool mapped = false;
    RECT placed{};                  // the client rectangle the X window has, as far as we know
    unsigned long placeSerial = 0;  // the request that last moved or sized it
    unsigned long mapSerial = 0;    // the request that last mapped or unmapped it

private:
    ScreenWindow() = default;
    void UpdateMappingLocked();
};

// What the display reports about a window; called on the display's event thread.
// The server shows area again from the surface; repaint tells the window procedure too.
void OnScreenExposed(HWND hwnd, const RECT& area, bool repaint);
// A resize the window's thread learns later; basis is the placeSerial it was seen against, so
// that a program's own move in between wins over it.
void OnScreenResized(HWND hwnd, int clientWidth, int clientHeight, unsigned long basis);
void OnScreenCloseRequested(HWND hwnd);

}  // namespace kelvra::platform
