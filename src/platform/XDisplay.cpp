// The one connection to the X server: windows that are shown on screen, their pixels in shared
// memory where the server offers MIT-SHM, and the thread that turns the server's events into
// what the window procedures hear.
//
// Every call on the connection happens under one lock, which is always the innermost one: the
// surface lock and the window lock may be held when it is taken, never the other way round.
// The event thread therefore collects events under it and handles them after letting go.
#include "ScreenWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvra::platform {

namespace {

struct XConnection {
    ::Display* display = nullptr;
    int screen = 0;
    Visual* visual = nullptr;
    int depth = 0;
    Colormap colormap = 0;
    GC gc = nullptr;
    bool sharedMemory = false;
    Atom wmProtocols = 0;
    Atom wmDeleteWindow = 0;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::mutex mutex;
    std::map<XID, ScreenWindow*> windows;  // registered for the lifetime of each ScreenWindow
    unsigned long errors = 0;              // protocol errors seen on this connection
};

XConnection* connection = nullptr;  // set once, before any window can reach it
XErrorHandler previousErrorHandler = nullptr;

// Errors come asynchronously (a window the server already destroyed, a segment it cannot
// attach); they are counted, never fatal, so callers that care compare the count around an
// XSync. Errors of other connections in the process go to whoever handled them before.
int OnXError(::Display* display, XErrorEvent* error) {
    if (connection == nullptr || display != connection->display)
        return previousErrorHandler ? previousErrorHandler(display, error) : 0;
    ++connection->errors;
    if (std::getenv("KELVRA_DEBUG")) {
        char text[128] = {};
        XGetErrorText(display, error->error_code, text, sizeof text);
        std::fprintf(stderr, "kelvra_platform: X error %s (request %d.%d)\n", text, error->request_code,
                     error->minor_code);
    }
    return 0;
}

void Debug(const char* text) {
    char line[160];
    std::snprintf(line, sizeof line, "kelvra_platform: %s\n", text);
    OutputDebugStringA(line);
}

// The lock around the connection. Letting go wakes the event thread when a call made under it
// (an XSync, say) read events into Xlib's queue, where poll on the socket would not see them.
class Locked {
public:
    explicit Locked(XConnection& x) : x(x), lock(x.mutex) {}
    ~Locked() {
        if (XQLength(x.display) > 0) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = write(x.wakeWrite, &byte, 1);
        }
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    XConnection& x;
    std::unique_lock<std::mutex> lock;
};

// A visual that shows 32-bit little-endian BGRX pixels as they are, so that surfaces go to
// the server without conversion.
bool FindVisual(XConnection& x) {
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(x.display, &count);
    bool thirtyTwoBits = false;
    for (int i = 0; i < count; ++i) thirtyTwoBits |= formats[i].depth == 24 && formats[i].bits_per_pixel == 32;
    if (formats) XFree(formats);
    if (!thirtyTwoBits) return false;
    XVisualInfo info{};
    if (!XMatchVisualInfo(x.display, x.screen, 24, TrueColor, &info)) return false;
    if (info.red_mask != 0xFF0000 || info.green_mask != 0xFF00 || info.blue_mask != 0xFF) return false;
    x.visual = info.visual;
    x.depth = 24;
    const Window root = RootWindow(x.display, x.screen);
    // xvfb-run's default screen is 8 bits deep; a 24-bit visual beside it needs its own colormap.
    x.colormap = info.visual == DefaultVisual(x.display, x.screen)
                     ? DefaultColormap(x.display, x.screen)
                     : XCreateColormap(x.display, root, info.visual, AllocNone);
    const Pixmap pixmap = XCreatePixmap(x.display, root, 1, 1, 24);
    x.gc = XCreateGC(x.display, pixmap, 0, nullptr);
    XFreePixmap(x.display, pixmap);
    return true;
}

// A segment of this process can be attached only by a server on the same machine; a remote
// display refuses, and the pixels then travel in the requests instead.
bool ProbeSharedMemory(XConnection& x) {
    if (!XShmQueryExtension(x.display) || ImageByteOrder(x.display) != LSBFirst) return false;
    XShmSegmentInfo info{};
    info.shmid = shmget(IPC_PRIVATE, 4096, IPC_CREAT | 0600);
    if (info.shmid < 0) return false;
    info.shmaddr = static_cast<char*>(shmat(info.shmid, nullptr, 0));
    shmctl(info.shmid, IPC_RMID, nullptr);
    if (info.shmaddr == reinterpret_cast<char*>(-1)) return false;
    info.readOnly = True;
    const unsigned long errorsBefore = x.errors;
    const bool attached = XShmAttach(x.display, &info) && (XSync(x.display, False), x.errors == errorsBefore);
    if (attached) {
        XShmDetach(x.display, &info);
        XSync(x.display, False);
    }
    shmdt(info.shmaddr);
    return attached;
}

void EventLoop(XConnection& x);

XConnection* Connect() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return nullptr;
    XInitThreads();  // the application may use Xlib on threads of its own
    ::Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        Debug("no X server answers at DISPLAY; windows stay off screen");
        return nullptr;
    }
    auto* x = new XConnection;
    x->display = display;
    x->screen = DefaultScreen(display);
    int pipeEnds[2] = {-1, -1};
    if (!FindVisual(*x) || pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        Debug("the X display has no 24-bit TrueColor visual; windows stay off screen");
        XCloseDisplay(display);
        delete x;
        return nullptr;
    }
    x->wakeRead = pipeEnds[0];
    x->wakeWrite = pipeEnds[1];
    fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);
    x->wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    x->wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    connection = x;
    previousErrorHandler = XSetErrorHandler(OnXError);
    x->sharedMemory = ProbeSharedMemory(*x);
    if (!x->sharedMemory) Debug("MIT-SHM is not available; pixels go to the X server in requests");
    // The connection lives as long as the process, so the thread never outlives it.
    std::thread([x] { EventLoop(*x); }).detach();
    return x;
}

XConnection* TheConnection() {
    static XConnection* const x = Connect();
    return x;
}

class SharedPixels final : public PixelMemory {
public:
    static std::unique_ptr<SharedPixels> Make(XConnection& x, int width, int height, size_t stride) {
        std::unique_ptr<SharedPixels> pixels(new SharedPixels(x));
        XImage* image = XShmCreateImage(x.display, x.visual, static_cast<unsigned>(x.depth), ZPixmap, nullptr,
                                        &pixels->info, static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (image == nullptr) return nullptr;
        pixels->image = image;
        if (image->bits_per_pixel != 32 || static_cast<size_t>(image->bytes_per_line) != stride) return nullptr;
        pixels->info.shmid = shmget(IPC_PRIVATE, stride * static_cast<size_t>(height), IPC_CREAT | 0600);
        if (pixels->info.shmid < 0) return nullptr;
        void* address = shmat(pixels->info.shmid, nullptr, 0);
        if (address == reinterpret_cast<void*>(-1)) {
            shmctl(pixels->info.shmid, IPC_RMID, nullptr);
            return nullptr;
        }
        pixels->info.shmaddr = image->data = static_cast<char*>(address);
        pixels->bits = static_cast<BYTE*>(address);
        pixels->info.readOnly = True;
        const unsigned long errorsBefore = x.errors;
        pixels->attached = XShmAttach(x.display, &pixels->info) != 0;
        XSync(x.display, False);
        // Removed once both sides hold it, so no segment outlives a process that crashes.
        shmctl(pixels->info.shmid, IPC_RMID, nullptr);
        if (!pixels->attached || x.errors != errorsBefore) return nullptr;
        pixels->width = width;
        pixels->height = height;
        return pixels;
    }

    ~SharedPixels() override {
        if (image) {
            image->data = nullptr;
            XDestroyImage(image);
        }
        if (attached) {
            XShmDetach(x.display, &info);
            // The server must let go before the memory does.
            XSync(x.display, False);
        }
        if (bits) shmdt(bits);
    }

    bool Fits(const Surface& surface) const {
        return surface.Bits() == bits && surface.Width() == width && surface.Height() == height;
    }
    XImage* Image() const { return image; }

private:
    explicit SharedPixels(XConnection& x) : x(x) {}

    XConnection& x;
    XShmSegmentInfo info{};
    XImage* image = nullptr;
    bool attached = false;
    int width = 0;
    int height = 0;
};

// The surface's memory is the segment's; every call runs under the connection lock.
class LockedSharedPixels final : public PixelMemory {
public:
    LockedSharedPixels(XConnection& x, std::unique_ptr<SharedPixels> pixels) : x(x), pixels(std::move(pixels)) {
        bits = this->pixels->Bits();
    }
    ~LockedSharedPixels() override {
        Locked lock(x);
        pixels.reset();
    }
    const SharedPixels& Pixels() const { return *pixels; }

private:
    XConnection& x;
    std::unique_ptr<SharedPixels> pixels;
};

int Width(const RECT& rect) { return std::max<int>(0, rect.right - rect.left); }
int Height(const RECT& rect) { return std::max<int>(0, rect.bottom - rect.top); }

struct Report {
    enum Kind { kExposed, kExposedByUs, kResized, kClose } kind;
    HWND hwnd;
    RECT rect;
    unsigned long basis = 0;  // kResized: the placement it was seen against
};

void Translate(XConnection& x, const XEvent& event, std::vector<Report>& reports) {
    const auto found = x.windows.find(event.xany.window);
    if (found == x.windows.end()) return;
    ScreenWindow& window = *found->second;
    switch (event.type) {
        case Expose: {
            const XExposeEvent& expose = event.xexpose;
            // Showing or growing the window already asked its procedure to paint.
            const bool byUs = expose.serial == window.mapSerial || expose.serial == window.placeSerial;
            reports.push_back({byUs ? Report::kExposedByUs : Report::kExposed, window.hwnd,
                               RECT{expose.x, expose.y, expose.x + expose.width, expose.y + expose.height}});
            break;
        }
        case ConfigureNotify: {
            const XConfigureEvent& configure = event.xconfigure;
            // The answer to an older request of ours is not news: a later one is on its way.
            if (configure.serial < window.placeSerial) break;
            // A window of no size is unmapped, and the pixel that stands in for it is not a size.
            if (Width(window.placed) == 0 || Height(window.placed) == 0) break;
            if (configure.width == Width(window.placed) && configure.height == Height(window.placed)) break;
            window.placed.right = window.placed.left + configure.width;
            window.placed.bottom = window.placed.top + configure.height;
            reports.push_back(
                {Report::kResized, window.hwnd, RECT{0, 0, configure.width, configure.height}, window.placeSerial});
            break;
        }
        case ClientMessage:
            if (event.xclient.message_type == x.wmProtocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == x.wmDeleteWindow)
                reports.push_back({Report::kClose, window.hwnd, RECT{}});
            break;
        default:
            break;
    }
}

void EventLoop(XConnection& x) {
    std::vector<Report> reports;
    for (;;) {
        pollfd fds[2] = {{ConnectionNumber(x.display), POLLIN, 0}, {x.wakeRead, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents & POLLIN) {
            char drained[64];
            while (read(x.wakeRead, drained, sizeof drained) > 0) {}
        }
        reports.clear();
        {
            Locked lock(x);
            while (XPending(x.display) > 0) {
                XEvent event;
                XNextEvent(x.display, &event);
                Translate(x, event, reports);
            }
        }
        for (const Report& report : reports) {
            switch (report.kind) {
                case Report::kExposed:
                case Report::kExposedByUs:
                    OnScreenExposed(report.hwnd, report.rect, report.kind == Report::kExposed);
                    break;
                case Report::kResized:
                    OnScreenResized(report.hwnd, report.rect.right, report.rect.bottom, report.basis);
                    break;
                case Report::kClose:
                    OnScreenCloseRequested(report.hwnd);
                    break;
            }
        }
    }
}

}  // namespace

std::shared_ptr<ScreenWindow> ScreenWindow::Create(HWND hwnd, const ScreenWindow* parent, const RECT& client,
                                                   const std::string& title) {
    XConnection* x = TheConnection();
    if (x == nullptr) return nullptr;
    std::shared_ptr<ScreenWindow> window(new ScreenWindow);
    window->hwnd = hwnd;
    window->topLevel = parent == nullptr;
    window->placed = client;
    Locked lock(*x);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = 0;  // black
    attributes.border_pixel = 0;
    attributes.colormap = x->colormap;
    attributes.event_mask = ExposureMask | StructureNotifyMask;
    // A window that grows keeps its picture where it was, as the surface does.
    attributes.bit_gravity = NorthWestGravity;
    const Window xParent = parent ? parent->xid : RootWindow(x->display, x->screen);
    window->xid =
        XCreateWindow(x->display, xParent, client.left, client.top, static_cast<unsigned>(std::max(Width(client), 1)),
                      static_cast<unsigned>(std::max(Height(client), 1)), 0, x->depth, InputOutput, x->visual,
                      CWBackPixel | CWBorderPixel | CWColormap | CWEventMask | CWBitGravity, &attributes);
    if (window->xid == 0) return nullptr;
    if (window->topLevel) {
        XSetWMProtocols(x->display, window->xid, &x->wmDeleteWindow, 1);
        XStoreName(x->display, window->xid, title.c_str());
        // The application chose the place; a window manager should keep it.
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        hints.x = client.left;
        hints.y = client.top;
        hints.width = std::max(Width(client), 1);
        hints.height = std::max(Height(client), 1);
        XSetWMNormalHints(x->display, window->xid, &hints);
    }
    window->placeSerial = NextRequest(x->display);
    x->windows[window->xid] = window.get();
    XFlush(x->display);
    return window;
}

ScreenWindow::~ScreenWindow() {
    XConnection& x = *TheConnection();
    Locked lock(x);
    x.windows.erase(xid);
    XDestroyWindow(x.display, xid);
    XFlush(x.display);
}

void ScreenWindow::UpdateMappingLocked() {
    XConnection& x = *TheConnection();
    const bool wanted = visible && Width(placed) > 0 && Height(placed) > 0;
    if (wanted == mapped) return;
    mapped = wanted;
    mapSerial = NextRequest(x.display);
    if (wanted)
        XMapWindow(x.display, xid);
    else
        XUnmapWindow(x.display, xid);
    XFlush(x.display);
}

void ScreenWindow::Place(const RECT& client) {
    XConnection& x = *TheConnection();
    Locked lock(x);
    if (client.left == placed.left && client.top == placed.top && Width(client) == Width(placed) &&
        Height(client) == Height(placed))
        return;
    placed = client;
    placeSerial = NextRequest(x.display);
    XMoveResizeWindow(x.display, xid, client.left, client.top, static_cast<unsigned>(std::max(Width(client), 1)),
                      static_cast<unsigned>(std::max(Height(client), 1)));
    UpdateMappingLocked();
    XFlush(x.display);
}

bool ScreenWindow::PlacedSince(unsigned long serial) const {
    Locked lock(*TheConnection());
    return placeSerial != serial;
}

void ScreenWindow::SetVisible(bool show) {
    Locked lock(*TheConnection());
    visible = show;
    UpdateMappingLocked();
}

void ScreenWindow::SetTitle(const std::string& title) {
    if (!topLevel) return;
    XConnection& x = *TheConnection();
    Locked lock(x);
    XStoreName(x.display, xid, title.c_str());
    XFlush(x.display);
}

std::unique_ptr<PixelMemory> ScreenWindow::Allocate(int width, int height, size_t stride) {
    XConnection& x = *TheConnection();
    if (!x.sharedMemory || width <= 0 || height <= 0) return nullptr;
    Locked lock(x);
    auto pixels = SharedPixels::Make(x, width, height, stride);
    if (!pixels) return nullptr;
    return std::make_unique<LockedSharedPixels>(x, std::move(pixels));
}

void ScreenWindow::Show(const Surface& surface, const RECT& area) {
    if (surface.Format().bitCount != 32 || surface.BottomUp()) return;  // window surfaces are neither
    const int left = std::max<int>(area.left, 0);
    const int top = std::max<int>(area.top, 0);
    const int right = std::min<int>(area.right, surface.Width());
    const int bottom = std::min<int>(area.bottom, surface.Height());
    if (left >= right || top >= bottom) return;
    XConnection& x = *TheConnection();
    Locked lock(x);
    if (!mapped) return;  // the server asks for the pixels when the window appears
    const auto* shared = dynamic_cast<const LockedSharedPixels*>(surface.Memory());
    if (shared && shared->Pixels().Fits(surface)) {
        XShmPutImage(x.display, xid, x.gc, shared->Pixels().Image(), left, top, left, top,
                     static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top), False);
    } else {
        XImage* image = XCreateImage(x.display, x.visual, static_cast<unsigned>(x.depth), ZPixmap, 0,
                                     reinterpret_cast<char*>(surface.Bits()), static_cast<unsigned>(surface.Width()),
                                     static_cast<unsigned>(surface.Height()), 32, static_cast<int>(surface.Stride()));
        if (image == nullptr) return;
        image->byte_order = LSBFirst;  // Xlib swaps for a server that wants otherwise
        XPutImage(x.display, xid, x.gc, image, left, top, left, top, static_cast<unsigned>(right - left),
                  static_cast<unsigned>(bottom - top));
        image->data = nullptr;  // the surface's, not the image's
        XDestroyImage(image);
    }
    // Waiting for the server keeps the caller from overwriting pixels it is still reading and
    // keeps a fast camera from queueing frames faster than the server shows them.
    XSync(x.display, False);
}

}  // namespace kelvra::platform
