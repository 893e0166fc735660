// The preview window through its own surface: which windows it makes and leaves behind, and what
// a drawn frame looks like when read back from the window.
#include "session/PreviewWindow.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "imaging/DibImage.h"
#include "session/SessionImages.h"

namespace {

constexpr char kParentClass[] = "PreviewTestParent";

// The pictures are small enough that every pixel gets a value of its own within a byte, and
// neighbouring rows differ everywhere: a dropped or repeated row shifts every value below it.
constexpr int kWidth = 32;
constexpr int kHeight = 24;
BYTE Value(int row, int column) { return static_cast<BYTE>(row * 9 + column + 1); }

using Bgr = std::array<BYTE, 3>;

// What the window should show for storage pixel (row, column): grey modes show the value,
// colour modes three channels that differ from each other so that a swap or shear shows.
Bgr Expected(int colourMode, int row, int column) {
    const BYTE v = Value(row, column);
    if (colourMode <= 1) return {v, v, v};
    return {v, static_cast<BYTE>(v ^ 0x55), static_cast<BYTE>(255 - v)};
}

BYTE* Row(DibImage& image, int row) { return image.bits + static_cast<size_t>(row) * image.stride; }

void Store16(BYTE* at, uint16_t sample) { std::memcpy(at, &sample, 2); }

// Makes the output image of colourMode (and the 8- or 24-bit image it is shown through) and
// fills it with the picture in that mode's sample format: 16-bit samples carry low bits the
// display must drop, 32- and 64-bit pixels an alpha it must skip.
void MakePicture(SessionImages& images, int colourMode) {
    ASSERT_TRUE(images.MakeAll());
    DibImage* outputs[] = {images.raw8.get(),  images.raw16.get(), images.rgb24.get(),
                           images.rgb32.get(), images.rgb48.get(), images.rgb64.get()};
    const uint16_t bytesPerPixel[] = {1, 2, 3, 4, 6, 8};
    DibImage& output = *outputs[colourMode];
    const int pixelBytes = bytesPerPixel[colourMode];
    ASSERT_TRUE(CreateImage(&output, kWidth, kHeight, static_cast<uint16_t>(8 * pixelBytes)));
    DibImage* shown = colourMode <= 1 ? images.raw8.get() : images.rgb24.get();
    if (shown != &output) {
        ASSERT_NE(CreateImage(shown, kWidth, kHeight, colourMode <= 1 ? 8 : 24), 0);
    }

    for (int row = 0; row < kHeight; ++row) {
        for (int column = 0; column < kWidth; ++column) {
            const Bgr e = Expected(colourMode, row, column);
            BYTE* pixel = output.bits + static_cast<size_t>(row) * output.stride + pixelBytes * column;
            std::memset(pixel, 0x99, pixelBytes);
            if (colourMode == 0 || colourMode == 2 || colourMode == 3)
                std::memcpy(pixel, e.data(), pixelBytes == 1 ? 1 : 3);
            if (colourMode == 1) Store16(pixel, static_cast<uint16_t>(e[0] << 8 | 0x5A));
            if (colourMode >= 4) {
                for (int c = 0; c < 3; ++c) Store16(pixel + 2 * c, static_cast<uint16_t>(e[c] << 5 | 0x1B));
            }
        }
    }
}

// Client width and height.
std::pair<LONG, LONG> ClientSize(HWND window) {
    RECT client{};
    EXPECT_TRUE(GetClientRect(window, &client));
    return {client.right, client.bottom};
}

// The window's client pixels, top row first, read back through its DC.
struct Readback {
    int width = 0, height = 0;
    std::vector<BYTE> pixels;

    explicit Readback(HWND window) {
        std::tie(width, height) = ClientSize(window);
        DibImage copy;
        InitImage(&copy);
        if (!CreateImage(&copy, width, height, 24)) return;
        EXPECT_TRUE(BitBlt(copy.memoryDc, 0, 0, width, height, GetDC(window), 0, 0, SRCCOPY));
        // The copy is bottom-up: its last storage row is the window's top row.
        for (int y = height - 1; y >= 0; --y) {
            const BYTE* row = copy.bits + static_cast<size_t>(y) * copy.stride;
            pixels.insert(pixels.end(), row, row + 3 * width);
        }
        DestroyImage(&copy);
    }

    Bgr At(int x, int y) const {
        const BYTE* p = pixels.data() + 3 * (static_cast<size_t>(y) * width + x);
        return {p[0], p[1], p[2]};
    }
};

// Counts the pixels that differ from expected(x, y), naming the first.
template <typename ExpectedFn>
int Mismatches(const Readback& shown, ExpectedFn expected) {
    int count = 0;
    for (int y = 0; y < shown.height; ++y) {
        for (int x = 0; x < shown.width; ++x) {
            if (expected(x, y) == shown.At(x, y)) continue;
            if (count++ == 0) ADD_FAILURE() << "first wrong pixel at (" << x << ", " << y << ")";
        }
    }
    return count;
}

std::string Title(HWND window) {
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    return title;
}

bool ClassRegistered(const std::string& name) {
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    return GetClassInfoExA(GetModuleHandleA(nullptr), name.c_str(), &info) != 0;
}

class PreviewWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kParentClass;
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        parent = CreateWindowExA(0, kParentClass, "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 300, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override {
        preview.Destroy();
        if (parent) DestroyWindow(parent);
        UnregisterClassA(kParentClass, GetModuleHandleA(nullptr));
    }

    HWND parent = nullptr;
    PreviewWindow preview;
    int owner = 0;
};

TEST_F(PreviewWindowTest, ChildWindowTakesPlacementAsPositionAndSize) {
    preview.SetPlacement(parent, RECT{12, 7, 120, 90});
    ASSERT_TRUE(preview.Create(&owner, 1280, 1024));
    HWND child = preview.Window();
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetDlgCtrlID(child), 6540);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE)), 0x52000000u);
    EXPECT_EQ(Title(child), "ActiveMovie Window");
    EXPECT_EQ(ClientSize(child), std::make_pair(LONG{120}, LONG{90}));
    RECT outer{};
    ASSERT_TRUE(GetWindowRect(child, &outer));
    POINT origin{outer.left, outer.top};
    ASSERT_TRUE(ScreenToClient(parent, &origin));
    EXPECT_EQ(origin.x, 12);
    EXPECT_EQ(origin.y, 7);

    // A parent with an all-zero placement still gets its (empty) child, and drawing into it
    // is skipped rather than failing.
    preview.SetPlacement(parent, RECT{0, 0, 0, 0});
    EXPECT_TRUE(preview.Wanted());
    ASSERT_TRUE(preview.Create(&owner, 1280, 1024));
    EXPECT_EQ(ClientSize(preview.Window()), std::make_pair(LONG{0}, LONG{0}));
    SessionImages images;
    MakePicture(images, 0);
    preview.Draw(images, 0);
    EXPECT_TRUE(preview.PrepareDisplay(images, 0));
    EXPECT_EQ(images.display->bits, nullptr);
}

TEST_F(PreviewWindowTest, TopLevelWindowIsCentredWithTheCaptureSizeAsClient) {
    ASSERT_TRUE(preview.Wanted());  // the placement a session starts with
    ASSERT_TRUE(preview.Create(&owner, 640, 480));
    HWND window = preview.Window();
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), 0x16CF0000u);
    EXPECT_EQ(Title(window), "Active Window");
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(ClientSize(window), std::make_pair(LONG{640}, LONG{480}));
    RECT outer{};
    ASSERT_TRUE(GetWindowRect(window, &outer));
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_LE(std::abs(outer.left - (screenWidth - outer.right)), 1);
    EXPECT_LE(std::abs(outer.top - (screenHeight - outer.bottom)), 1);

    // Larger than the screen: pinned to the top-left corner rather than pushed off it.
    ASSERT_TRUE(preview.Create(&owner, screenWidth + 200, screenHeight + 200));
    ASSERT_TRUE(GetWindowRect(preview.Window(), &outer));
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(ClientSize(preview.Window()).first, screenWidth + 200);

    // Without a parent an all-zero placement means no window at all.
    preview.SetPlacement(nullptr, RECT{0, 0, 0, 0});
    EXPECT_FALSE(preview.Wanted());
    EXPECT_FALSE(preview.Create(&owner, 640, 480));
    EXPECT_EQ(preview.Window(), nullptr);
    EXPECT_EQ(preview.Dc(), nullptr);
    EXPECT_STREQ(preview.ClassName(), "");
}

TEST_F(PreviewWindowTest, RepeatedCreateLeavesOneWindowAndOneClass) {
    HWND previousWindow = nullptr;
    std::string previousClass;
    for (int cycle = 0; cycle < 100; ++cycle) {
        preview.SetPlacement(cycle % 2 ? parent : nullptr, RECT{0, 0, 64, 48});
        ASSERT_TRUE(preview.Create(&owner, 64, 48)) << "cycle " << cycle;
        ASSERT_TRUE(IsWindow(preview.Window()));
        ASSERT_TRUE(ClassRegistered(preview.ClassName()));
        if (previousWindow) {
            ASSERT_FALSE(IsWindow(previousWindow)) << "cycle " << cycle;
            ASSERT_FALSE(ClassRegistered(previousClass)) << "cycle " << cycle;
        }
        previousWindow = preview.Window();
        previousClass = preview.ClassName();
    }
    preview.Destroy();
    EXPECT_FALSE(IsWindow(previousWindow));
    EXPECT_FALSE(ClassRegistered(previousClass));
    EXPECT_EQ(preview.Window(), nullptr);
    EXPECT_EQ(preview.Dc(), nullptr);
    EXPECT_STREQ(preview.ClassName(), "");
    preview.Destroy();  // a second time finds nothing to do

    // A window that cannot be made (its parent is gone) leaves neither it nor the one before.
    ASSERT_TRUE(preview.Create(&owner, 64, 48));
    previousWindow = preview.Window();
    previousClass = preview.ClassName();
    HWND gone = CreateWindowExA(0, kParentClass, "gone", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(DestroyWindow(gone));
    preview.SetPlacement(gone, RECT{0, 0, 10, 10});
    EXPECT_FALSE(preview.Create(&owner, 64, 48));
    EXPECT_FALSE(IsWindow(previousWindow));
    EXPECT_FALSE(ClassRegistered(previousClass));
    EXPECT_EQ(preview.Window(), nullptr);
    EXPECT_EQ(preview.Dc(), nullptr);
    EXPECT_STREQ(preview.ClassName(), "");
}

TEST_F(PreviewWindowTest, DisplayIsRemadeOnlyWhenTheClientSizeChanges) {
    SessionImages images;
    MakePicture(images, 4);
    preview.SetPlacement(parent, RECT{0, 0, 20, 16});
    ASSERT_TRUE(preview.Create(&owner, kWidth, kHeight));

    ASSERT_TRUE(preview.PrepareDisplay(images, 4));
    DibImage& display = *images.display;
    EXPECT_EQ(display.width, 20);
    EXPECT_EQ(display.height, 16);
    EXPECT_EQ(display.bitsPerPixel, 24);
    const BYTE* prepared = display.bits;
    for (int frame = 0; frame < 5; ++frame) {
        preview.Draw(images, 4);
        ASSERT_EQ(display.bits, prepared) << "frame " << frame;
    }

    ASSERT_TRUE(MoveWindow(preview.Window(), 0, 0, 24, 10, FALSE));
    preview.Draw(images, 4);
    EXPECT_EQ(display.width, 24);
    EXPECT_EQ(display.height, 10);
    const BYTE* resized = display.bits;
    for (int frame = 0; frame < 5; ++frame) {
        preview.Draw(images, 4);
        ASSERT_EQ(display.bits, resized) << "frame " << frame;
    }

    // Grey modes are shown through an 8-bit display.
    ASSERT_TRUE(preview.PrepareDisplay(images, 1));
    EXPECT_EQ(display.bitsPerPixel, 8);
    EXPECT_EQ(display.width, 24);
}

TEST_F(PreviewWindowTest, HiddenOrVanishedWindowIsNotDrawn) {
    SessionImages images;
    MakePicture(images, 1);
    preview.SetPlacement(parent, RECT{0, 0, kWidth, kHeight});
    ASSERT_TRUE(preview.Create(&owner, kWidth, kHeight));

    // Hidden: not even the display copy of the 16-bit frame is made.
    ShowWindow(preview.Window(), SW_HIDE);
    preview.Draw(images, 1);
    EXPECT_EQ(Row(*images.raw8, 0)[0], 0);
    EXPECT_EQ(Readback(preview.Window()).At(0, 0), (Bgr{0, 0, 0}));

    // The application closes the parent under a running preview.
    const std::string className = preview.ClassName();
    ASSERT_TRUE(DestroyWindow(parent));
    parent = nullptr;
    EXPECT_FALSE(IsWindow(preview.Window()));
    preview.Draw(images, 1);
    EXPECT_TRUE(preview.PrepareDisplay(images, 1));
    preview.Destroy();
    EXPECT_FALSE(ClassRegistered(className));
}

// Every colour mode, read back from the window. At the image's size the picture arrives whole
// with storage row 0 at the top; a narrower window still gets every row, in the same order, with
// every second column; halving both ways keeps one row of each pair and the orientation.
class PreviewDrawTest : public PreviewWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(PreviewDrawTest, WindowShowsStorageRowZeroAtTheTop) {
    const int mode = GetParam();
    SessionImages images;
    MakePicture(images, mode);

    ASSERT_TRUE(preview.Create(&owner, kWidth, kHeight));
    preview.Draw(images, mode);
    const Readback same(preview.Window());
    ASSERT_EQ(same.width * same.height, kWidth * kHeight);
    EXPECT_EQ(Mismatches(same, [&](int x, int y) { return Expected(mode, y, x); }), 0);
    EXPECT_EQ(images.display->bits, nullptr) << "the same size is drawn straight from the image";

    preview.SetPlacement(parent, RECT{5, 5, kWidth / 2, kHeight});
    ASSERT_TRUE(preview.Create(&owner, kWidth, kHeight));
    preview.Draw(images, mode);
    EXPECT_EQ(Mismatches(Readback(preview.Window()), [&](int x, int y) { return Expected(mode, y, 2 * x); }), 0);

    preview.SetPlacement(parent, RECT{0, 0, kWidth / 2, kHeight / 2});
    ASSERT_TRUE(preview.Create(&owner, kWidth, kHeight));
    preview.Draw(images, mode);
    EXPECT_EQ(Mismatches(Readback(preview.Window()), [&](int x, int y) { return Expected(mode, 2 * y + 1, 2 * x); }),
              0);
}

INSTANTIATE_TEST_SUITE_P(ColourModes, PreviewDrawTest, ::testing::Range(0, 6));

}  // namespace
