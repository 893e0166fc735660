// Window classes, creation, geometry and visibility.
#include "TestWindow.h"

#include <gtest/gtest.h>

using namespace kelvra::test;

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        DrainQueue();
        MessageLog::Instance().Take();
    }
    void TearDown() override { DrainQueue(); }
};

TEST_F(WindowTest, ClassNamesAreUniquePerModuleWithoutRegardToCase) {
    TestClass first("Kelvra.Window.Class");
    ASSERT_NE(first.Atom(), 0);

    WNDCLASSEXA info{};
    info.cbSize = sizeof(info);
    info.lpfnWndProc = DefWindowProcA;
    info.hInstance = GetModuleHandleA(nullptr);
    info.lpszClassName = "KELVRA.window.CLASS";
    SetLastError(0);
    EXPECT_EQ(RegisterClassExA(&info), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    // The same name in another module is another class.
    static char otherModule;
    info.hInstance = reinterpret_cast<HINSTANCE>(&otherModule);
    const ATOM other = RegisterClassExA(&info);
    EXPECT_NE(other, 0);
    EXPECT_NE(other, first.Atom());
    EXPECT_TRUE(UnregisterClassA(info.lpszClassName, info.hInstance));

    info.cbSize = 48;  // the size of a different structure
    EXPECT_EQ(RegisterClassExA(&info), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    WNDCLASSEXA found{};
    EXPECT_EQ(GetClassInfoExA(nullptr, "kelvra.window.class", &found), first.Atom());
    EXPECT_EQ(found.lpfnWndProc, &RecordingProc);
    EXPECT_EQ(found.hInstance, GetModuleHandleA(nullptr));
    EXPECT_STREQ(found.lpszClassName, "Kelvra.Window.Class");
}

TEST_F(WindowTest, ClassWithWindowsCannotBeUnregistered) {
    TestClass windows("Kelvra.Window.InUse");
    const HWND window = windows.Create();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(UnregisterClassA(windows.Name(), GetModuleHandleA(nullptr)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(window);
    EXPECT_TRUE(UnregisterClassA(windows.Name(), GetModuleHandleA(nullptr)));
    EXPECT_FALSE(UnregisterClassA(windows.Name(), GetModuleHandleA(nullptr)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
    EXPECT_EQ(windows.Create(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

LRESULT CALLBACK RefusingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return -1;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

CREATESTRUCTA seenAtCreate{};

// The CREATESTRUCTA lives only while the window is being created, so it is copied here.
LRESULT CALLBACK CapturingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) seenAtCreate = *reinterpret_cast<const CREATESTRUCTA*>(lParam);
    return RecordingProc(hwnd, message, wParam, lParam);
}

TEST_F(WindowTest, CreationSendsNcCreateThenCreateWithTheCreateStruct) {
    TestClass windows("Kelvra.Window.Create", CapturingProc);
    int parameter = 7;
    const HWND window = CreateWindowExA(0, MAKEINTATOM(windows.Atom()), "title", WS_OVERLAPPEDWINDOW, 5, 6, 300, 200,
                                        nullptr, nullptr, nullptr, &parameter);
    ASSERT_NE(window, nullptr);
    const auto log = MessageLog::Instance().Take();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].message, static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(log[1].message, static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(seenAtCreate.lpCreateParams, &parameter);
    EXPECT_EQ(seenAtCreate.cx, 300);
    EXPECT_EQ(seenAtCreate.y, 6);
    EXPECT_STREQ(seenAtCreate.lpszName, "title");

    // Overlapped windows always get a caption and clip their siblings.
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_CLIPSIBLINGS), static_cast<DWORD>(WS_CAPTION | WS_CLIPSIBLINGS));
    char title[16];
    EXPECT_EQ(GetWindowTextA(window, title, sizeof(title)), 5);
    EXPECT_STREQ(title, "title");
    DestroyWindow(window);

    TestClass refusing("Kelvra.Window.Refuse", RefusingProc);
    EXPECT_EQ(refusing.Create(), nullptr);
    EXPECT_TRUE(UnregisterClassA(refusing.Name(), nullptr)) << "the refused window does not linger";
}

TEST_F(WindowTest, ChildIsVisibleOnlyWhenItAndEveryAncestorAre) {
    TestClass windows("Kelvra.Window.Visible");
    const HWND top = windows.Create(WS_OVERLAPPEDWINDOW);
    const HWND middle = windows.Create(WS_CHILD | WS_VISIBLE, top, 1);
    const HWND child = windows.Create(WS_CHILD | WS_VISIBLE, middle, 6540);
    ASSERT_NE(child, nullptr);
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_FALSE(ShowWindow(top, SW_SHOW)) << "reports that it was hidden before";
    EXPECT_TRUE(IsWindowVisible(child));
    ShowWindow(middle, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_TRUE(IsWindowVisible(top));

    EXPECT_EQ(GetParent(child), middle);
    EXPECT_EQ(GetDlgCtrlID(child), 6540);
    EXPECT_EQ(GetParent(top), nullptr);

    // Destroying the top window takes the children along, parents hearing WM_DESTROY first.
    MessageLog::Instance().Take();
    ASSERT_TRUE(DestroyWindow(top));
    const auto destroyed = MessageLog::Instance().Take(WM_DESTROY);
    ASSERT_EQ(destroyed.size(), 3u);
    EXPECT_EQ(destroyed[0].hwnd, top);
    EXPECT_EQ(destroyed[1].hwnd, middle);
    EXPECT_EQ(destroyed[2].hwnd, child);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindowVisible(child));
}

TEST_F(WindowTest, ChildRequiresAParent) {
    TestClass windows("Kelvra.Window.Orphan");
    EXPECT_EQ(windows.Create(WS_CHILD), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TLW_WITH_WSCHILD));
}

TEST_F(WindowTest, AdjustWindowRectAgreesWithClientAndWindowRects) {
    TestClass windows("Kelvra.Window.Frame");
    struct Case {
        DWORD style;
        DWORD exStyle;
    };
    for (const Case& c : {Case{WS_OVERLAPPEDWINDOW, 0}, Case{WS_POPUP | WS_BORDER, 0},
                          Case{WS_POPUP | WS_CAPTION, WS_EX_TOOLWINDOW}, Case{WS_POPUP, WS_EX_CLIENTEDGE}}) {
        RECT outer{0, 0, 1280, 1024};
        ASSERT_TRUE(AdjustWindowRectEx(&outer, c.style, FALSE, c.exStyle));
        const int outerWidth = outer.right - outer.left;
        const int outerHeight = outer.bottom - outer.top;
        const HWND window = CreateWindowExA(c.exStyle, windows.Name(), "", c.style, 100, 50, outerWidth, outerHeight,
                                            nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        RECT client{};
        RECT bounds{};
        GetClientRect(window, &client);
        GetWindowRect(window, &bounds);
        EXPECT_EQ(client.right, 1280) << std::hex << c.style;
        EXPECT_EQ(client.bottom, 1024) << std::hex << c.style;
        EXPECT_EQ(bounds.left, 100);
        EXPECT_EQ(bounds.bottom - bounds.top, outerHeight);
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        EXPECT_EQ(origin.x, 100 - outer.left);
        EXPECT_EQ(origin.y, 50 - outer.top);
        DestroyWindow(window);
    }
    RECT caption{0, 0, 0, 0};
    AdjustWindowRectEx(&caption, WS_OVERLAPPEDWINDOW, FALSE, 0);
    EXPECT_EQ(-caption.top, GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
}

TEST_F(WindowTest, ChildGeometryFollowsTheParentsClientArea) {
    TestClass windows("Kelvra.Window.ChildGeometry");
    const HWND top = windows.Create(WS_OVERLAPPEDWINDOW, nullptr, 0, 200, 100, 640, 480);
    const HWND child = windows.Create(WS_CHILD, top, 3, 10, 20, 64, 48);
    POINT topOrigin{0, 0};
    ClientToScreen(top, &topOrigin);
    RECT bounds{};
    GetWindowRect(child, &bounds);
    EXPECT_EQ(bounds.left, topOrigin.x + 10);
    EXPECT_EQ(bounds.top, topOrigin.y + 20);

    MessageLog::Instance().Take();
    ASSERT_TRUE(MoveWindow(child, 0, 0, 128, 96, TRUE));
    const auto sized = MessageLog::Instance().Take(WM_SIZE);
    ASSERT_EQ(sized.size(), 1u);
    EXPECT_EQ(sized[0].lParam, MAKELPARAM(128, 96));
    ASSERT_TRUE(SetWindowPos(child, nullptr, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    RECT client{};
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, 128);
    POINT point{topOrigin.x + 5, topOrigin.y + 6};
    ScreenToClient(child, &point);
    EXPECT_EQ(point.x, 0);
    EXPECT_EQ(point.y, 0);
    DestroyWindow(top);
}

TEST_F(WindowTest, DefaultPlacementAndMessageOnlyWindows) {
    TestClass windows("Kelvra.Window.Default");
    const HWND window = windows.Create(WS_OVERLAPPEDWINDOW, nullptr, 0, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0);
    RECT bounds{};
    GetWindowRect(window, &bounds);
    EXPECT_GT(bounds.right - bounds.left, 0);
    EXPECT_LE(bounds.right, GetSystemMetrics(SM_CXSCREEN));
    DestroyWindow(window);

    const HWND messageOnly = windows.Create(0, HWND_MESSAGE);
    ASSERT_NE(messageOnly, nullptr);
    EXPECT_FALSE(IsWindowVisible(messageOnly));
    EXPECT_EQ(GetParent(messageOnly), nullptr);
    DestroyWindow(messageOnly);
    EXPECT_TRUE(IsWindow(GetDesktopWindow()));
}

TEST_F(WindowTest, WindowLongsHoldUserDataProcedureAndId) {
    TestClass windows("Kelvra.Window.Longs");
    const HWND top = windows.Create();
    const HWND child = windows.Create(WS_CHILD, top, 77);
    EXPECT_EQ(GetWindowLongPtrA(child, GWL_ID), 77);
    EXPECT_EQ(SetWindowLongPtrA(child, GWLP_USERDATA, 0x1234), 0);
    EXPECT_EQ(GetWindowLongPtrA(child, GWLP_USERDATA), 0x1234);
    EXPECT_EQ(SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RefusingProc)),
              reinterpret_cast<LONG_PTR>(&RecordingProc));
    EXPECT_EQ(GetWindowLongPtrA(child, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RefusingProc));
    EXPECT_EQ(GetWindowLongPtrA(child, 64), 0) << "no extra bytes were asked for";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    DestroyWindow(top);
    EXPECT_EQ(GetWindowLongPtrA(child, GWLP_USERDATA), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowTest, InvalidatedVisibleWindowGetsOnePaintAndCloseDestroys) {
    TestClass windows("Kelvra.Window.Paint", RecordingProc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const HWND window = windows.Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_TRUE(IsWindowVisible(window));
    ASSERT_TRUE(UpdateWindow(window));
    EXPECT_EQ(MessageLog::Instance().Take(WM_PAINT).size(), 1u);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, window, WM_PAINT, WM_PAINT, PM_NOREMOVE)) << "DefWindowProcA validated it";

    InvalidateRect(window, nullptr, FALSE);
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageA(&msg);
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));

    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
