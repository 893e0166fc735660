// Windows on an X display: what GDI draws into a window is what the server shows, read back
// pixel for pixel, and what the user does on screen reaches the window procedure.
#include "TestDisplay.h"
#include "TestWindow.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

using namespace kelvra::test;

namespace {

constexpr int kFrameWidth = 160;
constexpr int kFrameHeight = 120;

// Distinct in every channel along both axes, so a shifted, mirrored or scaled picture shows.
uint32_t Pattern(int x, int y) {
    return static_cast<uint32_t>(((x * 3) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | ((x ^ y) & 0xFF));
}

struct DibInfo {
    BITMAPINFOHEADER header{};
    RGBQUAD colors[1]{};
};

// A bottom-up 24-bit frame whose storage row s holds Pattern(x, s), as a camera frame is stored.
struct Frame {
    DibInfo info;
    std::vector<BYTE> bits;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;

    explicit Frame(int shift = 0) {
        info.header =
            BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), kFrameWidth, kFrameHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        const size_t stride = (kFrameWidth * 3 + 3) & ~size_t{3};
        bits.assign(stride * kFrameHeight, 0);
        for (int s = 0; s < kFrameHeight; ++s) {
            for (int x = 0; x < kFrameWidth; ++x) {
                const uint32_t rgb = Pattern(x + shift, s);
                BYTE* pixel = &bits[static_cast<size_t>(s) * stride + static_cast<size_t>(x) * 3];
                pixel[0] = static_cast<BYTE>(rgb);
                pixel[1] = static_cast<BYTE>(rgb >> 8);
                pixel[2] = static_cast<BYTE>(rgb >> 16);
            }
        }
        dc = CreateCompatibleDC(nullptr);
        void* section = nullptr;
        bitmap = CreateDIBSection(dc, Info(), DIB_RGB_COLORS, &section, nullptr, 0);
        std::memcpy(section, bits.data(), bits.size());
        SelectObject(dc, bitmap);
    }
    ~Frame() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(&info); }
};

// The window's own pixels, read through GDI, as 0x00RRGGBB rows from the top.
std::vector<uint32_t> SurfacePixels(HDC windowDc, int width, int height) {
    DibInfo info;
    info.header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const HDC memory = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    const HBITMAP bitmap =
        CreateDIBSection(memory, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits),
                                 static_cast<const uint32_t*>(bits) + static_cast<size_t>(width) * height);
    for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

// The first mismatch, for a readable failure instead of a dump of a whole picture.
::testing::AssertionResult SamePicture(const std::vector<uint32_t>& shown, const std::vector<uint32_t>& expected,
                                       int width) {
    if (shown.size() != expected.size())
        return ::testing::AssertionFailure() << shown.size() << " pixels shown, " << expected.size() << " expected";
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != expected[i])
            return ::testing::AssertionFailure() << "pixel (" << i % width << ", " << i / width << ") is " << std::hex
                                                 << shown[i] << ", expected " << expected[i];
    }
    return ::testing::AssertionSuccess();
}

class DisplayTest : public ::testing::Test {
protected:
    // The window's client area starts at its X window's origin, whatever the frame.
    HWND MakeShownWindow(const char* title, int width, int height, DWORD style = WS_POPUP | WS_VISIBLE) {
        return CreateWindowExA(0, windows.Name(), title, style, 40, 30, width, height, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }

    TestClass windows{"Kelvra.Display.Test"};
};

TEST_F(DisplayTest, EveryDrawingCallIsShownPixelForPixel) {
    KELVRA_REQUIRE_TEST_DISPLAY(display);
    const HWND window = MakeShownWindow("same size", kFrameWidth, kFrameHeight);
    ASSERT_NE(window, nullptr);
    const HDC dc = GetDC(window);
    const ::Window shown = display->FindByTitle("same size");
    ASSERT_NE(shown, 0u);
    ASSERT_TRUE(TestDisplay::WaitFor([&] { return display->Viewable(shown); }));

    // The preview's flip: storage row 0 at the top.
    const Frame frame;
    ASSERT_TRUE(StretchBlt(dc, 0, 0, kFrameWidth, kFrameHeight, frame.dc, 0, kFrameHeight - 1, kFrameWidth,
                           -kFrameHeight, SRCCOPY));
    std::vector<uint32_t> expected;
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x) expected.push_back(Pattern(x, y));
    EXPECT_TRUE(SamePicture(display->Grab(shown, 0, 0, kFrameWidth, kFrameHeight), expected, kFrameWidth));

    // Each of the other calls over part of the window; the screen keeps matching the window's pixels.
    const Frame shifted(7);
    StretchDIBits(dc, 0, 0, kFrameWidth / 2, kFrameHeight, 0, 0, kFrameWidth / 2, kFrameHeight, shifted.bits.data(),
                  shifted.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_TRUE(SamePicture(display->Grab(shown, 0, 0, kFrameWidth, kFrameHeight),
                            SurfacePixels(dc, kFrameWidth, kFrameHeight), kFrameWidth));
    const Frame other(23);
    SetDIBitsToDevice(dc, 10, 60, 100, 40, 0, 0, 0, kFrameHeight, other.bits.data(), other.Info(), DIB_RGB_COLORS);
    BitBlt(dc, 120, 5, 30, 30, other.dc, 0, 0, SRCCOPY);
    SetPixel(dc, 159, 119, RGB(1, 2, 3));
    const auto surface = SurfacePixels(dc, kFrameWidth, kFrameHeight);
    EXPECT_EQ(surface.back(), 0x010203u);
    EXPECT_TRUE(SamePicture(display->Grab(shown, 0, 0, kFrameWidth, kFrameHeight), surface, kFrameWidth));
    DestroyWindow(window);
}

TEST_F(DisplayTest, ScaledFrameIsShownAsDrawn) {
    KELVRA_REQUIRE_TEST_DISPLAY(display);
    constexpr int kWidth = kFrameWidth * 5 / 2;
    constexpr int kHeight = kFrameHeight * 3 / 2;
    const HWND window = MakeShownWindow("scaled", kWidth, kHeight);
    const HDC dc = GetDC(window);
    const ::Window shown = display->FindByTitle("scaled");
    ASSERT_NE(shown, 0u);
    const Frame frame;
    ASSERT_TRUE(
        StretchBlt(dc, 0, 0, kWidth, kHeight, frame.dc, 0, kFrameHeight - 1, kFrameWidth, -kFrameHeight, SRCCOPY));
    const auto grabbed = display->Grab(shown, 0, 0, kWidth, kHeight);
    EXPECT_TRUE(SamePicture(grabbed, SurfacePixels(dc, kWidth, kHeight), kWidth));
    ASSERT_EQ(grabbed.size(), static_cast<size_t>(kWidth * kHeight));
    // Corners and a middle pixel come from the source pixel under each one's centre.
    EXPECT_EQ(grabbed.front(), Pattern(0, 0));
    EXPECT_EQ(grabbed.back(), Pattern(kFrameWidth - 1, kFrameHeight - 1));
    EXPECT_EQ(grabbed[static_cast<size_t>(100) * kWidth + 201],
              Pattern((2 * 201 + 1) * kFrameWidth / (2 * kWidth), (2 * 100 + 1) * kFrameHeight / (2 * kHeight)));
    DestroyWindow(window);
}

TEST_F(DisplayTest, XWindowsFollowTheWin32Calls) {
    KELVRA_REQUIRE_TEST_DISPLAY(display);
    const HWND window = MakeShownWindow("follows", 200, 100, WS_OVERLAPPEDWINDOW);
    const ::Window shown = display->FindByTitle("follows");
    ASSERT_NE(shown, 0u);
    EXPECT_FALSE(display->Viewable(shown)) << "not shown before ShowWindow";
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(display->Size(shown), std::make_pair(static_cast<int>(client.right), static_cast<int>(client.bottom)));

    ShowWindow(window, SW_SHOW);
    EXPECT_TRUE(TestDisplay::WaitFor([&] { return display->Viewable(shown); }));
    MoveWindow(window, 50, 60, 300, 250, TRUE);
    GetClientRect(window, &client);
    EXPECT_TRUE(TestDisplay::WaitFor([&] {
        return display->Size(shown) == std::make_pair(static_cast<int>(client.right), static_cast<int>(client.bottom));
    }));
    SetWindowTextA(window, "renamed");
    EXPECT_TRUE(TestDisplay::WaitFor([&] { return display->FindByTitle("renamed") == shown; }));

    // A child is an X window inside its parent's client area; what it draws shows there.
    const HWND child = CreateWindowExA(0, windows.Name(), "", WS_CHILD | WS_VISIBLE, 20, 10, 40, 30, window, nullptr,
                                       GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    const HDC childDc = GetDC(child);
    const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT childArea{0, 0, 40, 30};
    FillRect(childDc, &childArea, red);
    DeleteObject(red);
    const auto grabbed = display->Grab(shown, 0, 0, 80, 60);
    ASSERT_EQ(grabbed.size(), 80u * 60u);
    EXPECT_EQ(grabbed[10 * 80 + 20], 0xFF0000u);
    EXPECT_EQ(grabbed[39 * 80 + 59], 0xFF0000u);
    EXPECT_NE(grabbed[40 * 80 + 60], 0xFF0000u) << "outside the child";

    ShowWindow(window, SW_HIDE);
    EXPECT_TRUE(TestDisplay::WaitFor([&] { return !display->Viewable(shown); }));
    DestroyWindow(window);
    EXPECT_TRUE(TestDisplay::WaitFor([&] { return display->FindByTitle("renamed") == 0; }));
}

TEST_F(DisplayTest, ResizeOnScreenReachesTheWindowAndTheNextFrameFillsIt) {
    KELVRA_REQUIRE_TEST_DISPLAY(display);
    const HWND window = MakeShownWindow("resized", kFrameWidth, kFrameHeight);
    const HDC dc = GetDC(window);
    const ::Window shown = display->FindByTitle("resized");
    ASSERT_NE(shown, 0u);
    MessageLog::Instance().Take();

    // As a user dragging the border does, through the server.
    XResizeWindow(display->X(), shown, 333, 222);
    XSync(display->X(), False);
    std::vector<RecordedMessage> sizes;
    ASSERT_TRUE(TestDisplay::WaitFor([&] {
        for (const auto& message : MessageLog::Instance().Take(WM_SIZE)) sizes.push_back(message);
        return !sizes.empty();
    }));
    EXPECT_EQ(sizes.back().hwnd, window);
    EXPECT_EQ(sizes.back().lParam, MAKELPARAM(333, 222));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 333);
    EXPECT_EQ(client.bottom, 222);

    const Frame frame;
    StretchBlt(dc, 0, 0, client.right, client.bottom, frame.dc, 0, kFrameHeight - 1, kFrameWidth, -kFrameHeight,
               SRCCOPY);
    const auto grabbed = display->Grab(shown, 0, 0, 333, 222);
    EXPECT_TRUE(SamePicture(grabbed, SurfacePixels(dc, 333, 222), 333));
    ASSERT_FALSE(grabbed.empty());
    EXPECT_EQ(grabbed.back(), Pattern(kFrameWidth - 1, kFrameHeight - 1)) << "the frame reaches the new corner";
    DestroyWindow(window);
}

LRESULT CALLBACK KeepOpenProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageLog::Instance().Add({hwnd, message, wParam, lParam, GetCurrentThreadId()});
    return message == WM_CLOSE ? 0 : DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(DisplayTest, CloseButtonSendsWmCloseWhichDestroysByDefault) {
    KELVRA_REQUIRE_TEST_DISPLAY(display);
    const HWND window = MakeShownWindow("closed", 100, 80, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    const ::Window shown = display->FindByTitle("closed");
    ASSERT_NE(shown, 0u);
    MessageLog::Instance().Take();
    display->PressCloseButton(shown);
    EXPECT_TRUE(TestDisplay::WaitFor([&] { return !IsWindow(window); }));
    EXPECT_EQ(MessageLog::Instance().Take(WM_CLOSE).size(), 1u);
    EXPECT_TRUE(TestDisplay::WaitFor([&] { return display->FindByTitle("closed") == 0; }));

    // A procedure that handles WM_CLOSE itself keeps its window.
    const TestClass keeping("Kelvra.Display.KeepOpen", KeepOpenProc);
    const HWND kept = keeping.Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetWindowTextA(kept, "kept");
    const ::Window keptShown = display->FindByTitle("kept");
    ASSERT_NE(keptShown, 0u);
    display->PressCloseButton(keptShown);
    EXPECT_TRUE(TestDisplay::WaitFor([&] { return !MessageLog::Instance().Take(WM_CLOSE).empty(); }));
    EXPECT_TRUE(IsWindow(kept));
    DestroyWindow(kept);
}

TEST_F(DisplayTest, UncoveredWindowIsShownAgainAndHearsWmPaint) {
    KELVRA_REQUIRE_TEST_DISPLAY(display);
    const HWND window = MakeShownWindow("covered", kFrameWidth, kFrameHeight);
    const HDC dc = GetDC(window);
    const ::Window shown = display->FindByTitle("covered");
    ASSERT_NE(shown, 0u);
    const Frame frame;
    StretchBlt(dc, 0, 0, kFrameWidth, kFrameHeight, frame.dc, 0, 0, kFrameWidth, kFrameHeight, SRCCOPY);
    TestDisplay::WaitFor([] { return false; }, std::chrono::milliseconds(50));  // settle the first paint
    MessageLog::Instance().Take();

    // Another client's window over ours, then gone: the server asks for the pixels again.
    ::Display* x = display->X();
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(x, DefaultScreen(x));
    const ::Window cover = XCreateWindow(x, DefaultRootWindow(x), 0, 0, 400, 300, 0, CopyFromParent, InputOutput,
                                         CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(x, cover);
    XSync(x, False);
    XDestroyWindow(x, cover);
    XSync(x, False);

    EXPECT_TRUE(TestDisplay::WaitFor([&] { return !MessageLog::Instance().Take(WM_PAINT).empty(); }));
    EXPECT_TRUE(TestDisplay::WaitFor([&] {
        return display->Grab(shown, 0, 0, kFrameWidth, kFrameHeight) == SurfacePixels(dc, kFrameWidth, kFrameHeight);
    }));
    DestroyWindow(window);
}

// The preview's threads: a worker draws into the window's DC while the window's thread resizes
// it, from the program and from the screen, and finally destroys it.
TEST_F(DisplayTest, WorkerDrawsWhileTheOwnerResizesAndDestroys) {
    KELVRA_REQUIRE_TEST_DISPLAY(display);
    const HWND window = MakeShownWindow("busy", kFrameWidth, kFrameHeight);
    const HDC dc = GetDC(window);
    const ::Window shown = display->FindByTitle("busy");
    ASSERT_NE(shown, 0u);
    const Frame frame;
    std::atomic<bool> stop{false};
    std::atomic<int> drawn{0};
    std::thread worker([&] {
        while (!stop) {
            RECT client{};
            if (!GetClientRect(window, &client)) continue;
            StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, kFrameWidth, kFrameHeight, frame.bits.data(),
                          frame.Info(), DIB_RGB_COLORS, SRCCOPY);
            ++drawn;
        }
    });
    for (int step = 0; step < 40 || drawn < 40; ++step) {
        if (step % 5 == 0) {
            XResizeWindow(display->X(), shown, static_cast<unsigned>(100 + step % 70), 90);
            XFlush(display->X());
        } else {
            MoveWindow(window, 40, 30, 60 + step % 113, 40 + step % 71, TRUE);
        }
        DrainQueue();
    }
    XSync(display->X(), False);
    MoveWindow(window, 40, 30, kFrameWidth, kFrameHeight, TRUE);
    const int before = drawn;
    TestDisplay::WaitFor([&] { return drawn > before + 2; });
    // Whatever the screen-side resizes did, the last word was the program's.
    EXPECT_TRUE(TestDisplay::WaitFor([&] {
        RECT client{};
        GetClientRect(window, &client);
        return client.right == kFrameWidth && client.bottom == kFrameHeight &&
               display->Size(shown) == std::make_pair(kFrameWidth, kFrameHeight);
    }));
    EXPECT_TRUE(SamePicture(display->Grab(shown, 0, 0, kFrameWidth, kFrameHeight),
                            SurfacePixels(dc, kFrameWidth, kFrameHeight), kFrameWidth));
    ASSERT_TRUE(DestroyWindow(window));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    worker.join();
    EXPECT_EQ(display->FindByTitle("busy"), 0u);
}

}  // namespace
