// DIB sections, memory and window DCs, blits with conversion, stretching and mirroring.
#include "TestWindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace kelvra::test;

namespace {

// A BITMAPINFO with room for a full colour table (or the three BI_BITFIELDS masks).
struct DibInfo {
    BITMAPINFOHEADER header{};
    RGBQUAD colors[256]{};

    DibInfo(int width, int height, WORD bitCount, DWORD compression = BI_RGB) {
        header.biSize = sizeof(header);
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = bitCount;
        header.biCompression = compression;
    }
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

// A DIB section selected into its own memory DC, released at the end of the test.
struct MemoryDib {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    BYTE* bits = nullptr;

    explicit MemoryDib(const DibInfo& info) {
        dc = CreateCompatibleDC(nullptr);
        void* pixels = nullptr;
        bitmap = CreateDIBSection(dc, info.Info(), DIB_RGB_COLORS, &pixels, nullptr, 0);
        bits = static_cast<BYTE*>(pixels);
        if (bitmap) previous = SelectObject(dc, bitmap);
    }
    ~MemoryDib() {
        if (previous) SelectObject(dc, previous);
        if (bitmap) DeleteObject(bitmap);
        DeleteDC(dc);
    }
    MemoryDib(const MemoryDib&) = delete;
    MemoryDib& operator=(const MemoryDib&) = delete;
};

// A 32-bit top-down DIB whose pixel (x, y) is the value 0x00yyxx.. with a per-test tag.
DWORD Pattern(int x, int y) { return static_cast<DWORD>((y << 16) | (x << 8) | 0x5A); }

std::unique_ptr<MemoryDib> PatternDib(int width, int height) {
    auto dib = std::make_unique<MemoryDib>(DibInfo(width, -height, 32));
    auto* pixels = reinterpret_cast<DWORD*>(dib->bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[y * width + x] = Pattern(x, y);
    return dib;
}

DWORD PixelAt(const MemoryDib& dib, int width, int x, int y) {
    return reinterpret_cast<const DWORD*>(dib.bits)[y * width + x];
}

TEST(DibSectionTest, RowsArePaddedToFourBytesAndZeroFilled) {
    struct Case {
        WORD bits;
        int width;
        LONG stride;
    };
    for (const Case& c : {Case{1, 10, 4}, Case{4, 10, 8}, Case{8, 10, 12}, Case{16, 10, 20}, Case{24, 10, 32},
                          Case{32, 10, 40}, Case{1, 33, 8}}) {
        DibInfo info(c.width, 3, c.bits);
        void* bits = nullptr;
        const HBITMAP bitmap = CreateDIBSection(nullptr, info.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr) << c.bits;
        DIBSECTION section{};
        ASSERT_EQ(GetObjectA(bitmap, sizeof(section), &section), static_cast<int>(sizeof(DIBSECTION)));
        EXPECT_EQ(section.dsBm.bmWidthBytes, c.stride) << c.bits << "-bit, width " << c.width;
        EXPECT_EQ(section.dsBm.bmBits, bits);
        EXPECT_EQ(section.dsBm.bmBitsPixel, c.bits);
        EXPECT_EQ(section.dsBmih.biSizeImage, static_cast<DWORD>(c.stride * 3));
        const std::vector<BYTE> zeros(static_cast<size_t>(c.stride * 3), 0);
        EXPECT_EQ(0, std::memcmp(bits, zeros.data(), zeros.size()));
        BITMAP plain{};
        EXPECT_EQ(GetObjectA(bitmap, sizeof(plain), &plain), static_cast<int>(sizeof(BITMAP)));
        EXPECT_EQ(plain.bmHeight, 3);
        DeleteObject(bitmap);
    }
}

TEST(DibSectionTest, DeepAndMalformedRequestsFail) {
    for (WORD bits : {WORD{48}, WORD{64}, WORD{0}, WORD{2}}) {
        DibInfo info(16, 16, bits);
        void* pixels = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, info.Info(), DIB_RGB_COLORS, &pixels, nullptr, 0), nullptr) << bits;
        EXPECT_EQ(pixels, nullptr);
    }
    DibInfo empty(0, 16, 24);
    EXPECT_EQ(CreateDIBSection(nullptr, empty.Info(), DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    DibInfo huge(1 << 30, 1 << 30, 32);
    EXPECT_EQ(CreateDIBSection(nullptr, huge.Info(), DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    DibInfo compressed(16, 16, 8, BI_RLE8);
    EXPECT_EQ(CreateDIBSection(nullptr, compressed.Info(), DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
}

TEST(DibSectionTest, ColourTableComesFromTheInfoAndCanBeChanged) {
    DibInfo info(4, 4, 8);
    info.header.biClrUsed = 3;
    info.colors[2] = RGBQUAD{10, 20, 30, 0};
    MemoryDib dib(info);
    ASSERT_NE(dib.bitmap, nullptr);
    RGBQUAD table[256]{};
    EXPECT_EQ(GetDIBColorTable(dib.dc, 0, 256, table), 3u);
    EXPECT_EQ(table[2].rgbRed, 30);
    const RGBQUAD red[5] = {{0, 0, 255, 0}, {0, 0, 255, 0}, {0, 0, 255, 0}, {0, 0, 255, 0}, {0, 0, 255, 0}};
    EXPECT_EQ(SetDIBColorTable(dib.dc, 1, 5, red), 2u) << "clipped to the table";
    EXPECT_EQ(SetDIBColorTable(dib.dc, 3, 1, red), 0u);
    dib.bits[0] = 1;
    EXPECT_EQ(GetPixel(dib.dc, 0, 3), RGB(255, 0, 0)) << "bottom-up: storage row 0 is the last row";
    dib.bits[1] = 7;  // past the table
    EXPECT_EQ(GetPixel(dib.dc, 1, 3), RGB(0, 0, 0));
}

TEST(MemoryDcTest, BitmapLivesInOneDcAndIsNotDeletedWhileSelected) {
    const HDC first = CreateCompatibleDC(nullptr);
    const HDC second = CreateCompatibleDC(first);
    DibInfo info(8, 8, 24);
    const HBITMAP bitmap = CreateDIBSection(nullptr, info.Info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
    const HGDIOBJ original = SelectObject(first, bitmap);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(GetObjectType(original), static_cast<DWORD>(OBJ_BITMAP));
    BITMAP mono{};
    GetObjectA(original, sizeof(mono), &mono);
    EXPECT_EQ(mono.bmBitsPixel, 1) << "a new memory DC holds a 1 x 1 monochrome bitmap";

    EXPECT_EQ(SelectObject(second, bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(first, original), bitmap);
    EXPECT_NE(SelectObject(second, bitmap), nullptr);
    EXPECT_TRUE(DeleteDC(second));
    EXPECT_TRUE(DeleteObject(bitmap)) << "deleting the DC let go of it";
    EXPECT_TRUE(DeleteDC(first));
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(GetDeviceCaps(CreateCompatibleDC(nullptr), BITSPIXEL), 32);
}

TEST(BlitTest, StretchWithNegativeSourceHeightFlipsRowsExactly) {
    constexpr int w = 5;
    constexpr int h = 4;
    const auto source = PatternDib(w, h);
    MemoryDib target(DibInfo(w, -h, 32));
    ASSERT_TRUE(StretchBlt(target.dc, 0, 0, w, h, source->dc, 0, h - 1, w, -h, SRCCOPY));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(PixelAt(target, w, x, y), Pattern(x, h - 1 - y)) << x << "," << y;

    // Mirrored columns, and a destination extent that runs backwards, which flips back.
    ASSERT_TRUE(StretchBlt(target.dc, 0, 0, w, h, source->dc, w - 1, 0, -w, h, SRCCOPY));
    for (int x = 0; x < w; ++x) EXPECT_EQ(PixelAt(target, w, x, 2), Pattern(w - 1 - x, 2));
    ASSERT_TRUE(StretchBlt(target.dc, w - 1, 0, -w, h, source->dc, w - 1, 0, -w, h, SRCCOPY));
    for (int x = 0; x < w; ++x) EXPECT_EQ(PixelAt(target, w, x, 1), Pattern(x, 1));
}

TEST(BlitTest, SourceOriginPastTheLastRowLeavesThatDestinationRowAlone) {
    constexpr int w = 3;
    constexpr int h = 3;
    const auto source = PatternDib(w, h);
    MemoryDib target(DibInfo(w, -h, 32));
    std::memset(target.bits, 0xEE, w * h * 4);
    // Starts at row h, which does not exist: the first destination row keeps its pixels.
    ASSERT_TRUE(StretchBlt(target.dc, 0, 0, w, h, source->dc, 0, h, w, -h, SRCCOPY));
    EXPECT_EQ(PixelAt(target, w, 0, 0), 0xEEEEEEEEu);
    EXPECT_EQ(PixelAt(target, w, 0, 1), Pattern(0, h - 1));
    EXPECT_EQ(PixelAt(target, w, 2, 2), Pattern(2, h - 2));
}

TEST(BlitTest, StretchScalesByNearestNeighbourAndClipsToBothSurfaces) {
    const auto source = PatternDib(4, 2);
    MemoryDib target(DibInfo(8, -4, 32));
    ASSERT_TRUE(StretchBlt(target.dc, 0, 0, 8, 4, source->dc, 0, 0, 4, 2, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(PixelAt(target, 8, x, y), Pattern(x / 2, y / 2));

    ASSERT_TRUE(StretchBlt(target.dc, 0, 0, 2, 1, source->dc, 0, 0, 4, 2, SRCCOPY));
    EXPECT_EQ(PixelAt(target, 8, 1, 0), Pattern(3, 1)) << "centre of the second destination pixel";

    // Far outside either surface: nothing is written anywhere else (the sanitizers watch).
    EXPECT_TRUE(BitBlt(target.dc, -100, -100, 1000, 1000, source->dc, -50, -50, SRCCOPY));
    EXPECT_TRUE(BitBlt(target.dc, 6, 3, 10, 10, source->dc, 2, 1, SRCCOPY));
    EXPECT_EQ(PixelAt(target, 8, 7, 3), Pattern(3, 1));
    EXPECT_TRUE(StretchBlt(target.dc, 0, 0, 0x7FFFFFFF, 0x7FFFFFFF, source->dc, 0, 0, 4, 2, SRCCOPY));
    EXPECT_FALSE(BitBlt(target.dc, 0, 0, 1, 1, source->dc, 0, 0, SRCPAINT)) << "only SRCCOPY";
}

TEST(BlitTest, IndexedAndFiveFiveFiveSourcesConvertThroughTheirFormat) {
    DibInfo indexed(4, 1, 8);
    indexed.colors[0] = RGBQUAD{0, 0, 0, 0};
    indexed.colors[1] = RGBQUAD{0x11, 0x22, 0x33, 0};
    indexed.colors[255] = RGBQUAD{0xFF, 0x80, 0x01, 0};
    MemoryDib grey(indexed);
    grey.bits[1] = 1;
    grey.bits[2] = 255;
    MemoryDib target(DibInfo(4, 1, 32));
    ASSERT_TRUE(BitBlt(target.dc, 0, 0, 4, 1, grey.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(PixelAt(target, 4, 1, 0), 0x00332211u);
    EXPECT_EQ(PixelAt(target, 4, 2, 0), 0x000180FFu);

    MemoryDib rgb555(DibInfo(2, 1, 16));
    const WORD pixels[2] = {0x7C00, 0x03FF};  // pure red; green and blue at full
    std::memcpy(rgb555.bits, pixels, sizeof(pixels));
    ASSERT_TRUE(BitBlt(target.dc, 0, 0, 2, 1, rgb555.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(PixelAt(target, 4, 0, 0), 0x00FF0000u);
    EXPECT_EQ(PixelAt(target, 4, 1, 0), 0x0000FFFFu);

    // The other way round: 32 bits into an indexed surface picks the nearest table colour.
    PixelAt(target, 4, 0, 0);
    reinterpret_cast<DWORD*>(target.bits)[3] = 0x00302010;
    ASSERT_TRUE(BitBlt(grey.dc, 0, 0, 4, 1, target.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(grey.bits[3], 1);

    // And into 5-5-5 with BI_BITFIELDS 5-6-5 masks.
    DibInfo masked(1, 1, 16, BI_BITFIELDS);
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(masked.colors, masks, sizeof(masks));
    MemoryDib rgb565(masked);
    ASSERT_TRUE(BitBlt(rgb565.dc, 0, 0, 1, 1, rgb555.dc, 1, 0, SRCCOPY));
    EXPECT_EQ(*reinterpret_cast<WORD*>(rgb565.bits), 0x07FF);
}

TEST(BlitTest, WindowDcKeepsWhatIsDrawnAndReadsBackThroughBitBlt) {
    TestClass windows("Kelvra.Gdi.Window");
    const HWND window = windows.Create(WS_POPUP, nullptr, 0, 0, 0, 6, 4);
    const HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDC(window), dc);
    const auto source = PatternDib(6, 4);
    ASSERT_TRUE(BitBlt(dc, 0, 0, 6, 4, source->dc, 0, 0, SRCCOPY));
    EXPECT_EQ(ReleaseDC(window, dc), 1);

    MemoryDib readBack(DibInfo(6, -4, 32));
    ASSERT_TRUE(BitBlt(readBack.dc, 0, 0, 6, 4, GetDC(window), 0, 0, SRCCOPY));
    EXPECT_EQ(PixelAt(readBack, 6, 5, 3), Pattern(5, 3) & 0x00FFFFFF);

    // The surface follows the client size and keeps what still fits.
    MoveWindow(window, 0, 0, 3, 2, FALSE);
    std::memset(readBack.bits, 0, 6 * 4 * 4);
    ASSERT_TRUE(BitBlt(readBack.dc, 0, 0, 6, 4, dc, 0, 0, SRCCOPY));
    EXPECT_EQ(PixelAt(readBack, 6, 2, 1), Pattern(2, 1) & 0x00FFFFFF);
    EXPECT_EQ(PixelAt(readBack, 6, 3, 1), 0u);

    const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    const RECT all{0, 0, 100, 100};
    EXPECT_EQ(FillRect(dc, &all, brush), 1);
    EXPECT_EQ(GetPixel(dc, 2, 1), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(dc, 3, 1), CLR_INVALID);
    DeleteObject(brush);

    DestroyWindow(window);
    EXPECT_FALSE(BitBlt(readBack.dc, 0, 0, 6, 4, dc, 0, 0, SRCCOPY)) << "the DC went with its window";
}

TEST(BlitTest, DibsFromMemoryCountBottomUpRowsFromTheLowerLeft) {
    constexpr int w = 2;
    constexpr int h = 3;
    DibInfo info(w, h, 32);  // bottom-up: the first row in memory is the bottom one
    const DWORD bits[h][w] = {{0x10, 0x11}, {0x20, 0x21}, {0x30, 0x31}};
    MemoryDib target(DibInfo(w, -h, 32));
    ASSERT_EQ(StretchDIBits(target.dc, 0, 0, w, h, 0, 0, w, h, bits, info.Info(), DIB_RGB_COLORS, SRCCOPY), h);
    EXPECT_EQ(PixelAt(target, w, 0, 0), 0x30u);
    EXPECT_EQ(PixelAt(target, w, 1, 2), 0x11u);

    // The lower two rows only: source y 0, height 2 from the bottom.
    std::memset(target.bits, 0, sizeof(bits));
    StretchDIBits(target.dc, 0, 0, w, 2, 0, 0, w, 2, bits, info.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(PixelAt(target, w, 0, 0), 0x20u);
    EXPECT_EQ(PixelAt(target, w, 0, 1), 0x10u);

    // Scan lines 1 and 2 only, handed over from their first row.
    std::memset(target.bits, 0, sizeof(bits));
    EXPECT_EQ(SetDIBitsToDevice(target.dc, 0, 0, w, h, 0, 0, 1, 2, bits[1], info.Info(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(PixelAt(target, w, 0, 0), 0x30u);
    EXPECT_EQ(PixelAt(target, w, 0, 1), 0x20u);
    EXPECT_EQ(PixelAt(target, w, 0, 2), 0u) << "scan line 0 was not supplied";
}

TEST(MemoryDcTest, StretchModeAndDrawDibHandles) {
    const HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SetStretchBltMode(dc, HALFTONE), BLACKONWHITE);
    EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), HALFTONE);
    EXPECT_EQ(GetStretchBltMode(dc), COLORONCOLOR);
    EXPECT_EQ(SetStretchBltMode(dc, 99), 0);
    DeleteDC(dc);

    const HDRAWDIB drawDib = DrawDibOpen();
    ASSERT_NE(drawDib, nullptr);
    EXPECT_TRUE(DrawDibClose(drawDib));
    EXPECT_FALSE(DrawDibClose(drawDib));
}

}  // namespace
