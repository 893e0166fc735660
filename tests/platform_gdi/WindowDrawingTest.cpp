// A worker thread drawing into a window's DC while the window's own thread resizes and
// finally destroys it, as a preview does.
#include "TestWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

using namespace kelvra::test;

namespace {

TEST(WindowDrawingTest, WorkerSurvivesResizeAndDestructionOfTheWindow) {
    TestClass windows("Kelvra.Drawing.Preview");
    const HWND window = windows.Create(WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 0, 64, 48);
    const HDC windowDc = GetDC(window);
    ASSERT_NE(windowDc, nullptr);

    struct {
        BITMAPINFOHEADER header{};
        RGBQUAD colors[1]{};
    } info;
    info.header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 64, 48, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const std::vector<BYTE> frame(64 * 3 * 48, 0x7F);

    std::atomic<bool> stop{false};
    std::atomic<int> drawn{0};
    std::thread worker([&] {
        const HDC memoryDc = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        const HBITMAP bitmap =
            CreateDIBSection(memoryDc, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
        std::memcpy(bits, frame.data(), frame.size());
        const HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        while (!stop) {
            if (!IsWindowVisible(window)) continue;
            RECT client{};
            GetClientRect(window, &client);
            StretchBlt(windowDc, 0, 0, client.right, client.bottom, memoryDc, 0, 48, 64, -48, SRCCOPY);
            StretchDIBits(windowDc, 0, 0, client.right, client.bottom, 0, 0, 64, 48, frame.data(),
                          reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
            ++drawn;
        }
        SelectObject(memoryDc, previous);
        DeleteObject(bitmap);
        DeleteDC(memoryDc);
    });

    for (int size = 1; drawn < 50 || size < 100; ++size) MoveWindow(window, 0, 0, 16 + size % 97, 8 + size % 61, TRUE);
    DrainQueue();
    EXPECT_EQ(GetPixel(windowDc, 0, 0), RGB(0x7F, 0x7F, 0x7F));
    ASSERT_TRUE(DestroyWindow(window));
    // The worker keeps running against the vanished window for a while.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    worker.join();
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetPixel(windowDc, 0, 0), CLR_INVALID);
}

}  // namespace
