#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/Converters.h"
#include "imaging/DibImage.h"
#include "imaging/Transfer.h"

namespace {

// A DibImage that is destroyed on every exit path of a test.
struct ScopedImage {
    DibImage image;
    ScopedImage() { InitImage(&image); }
    ~ScopedImage() { DestroyImage(&image); }
    DibImage* operator->() { return &image; }
    DibImage* get() { return &image; }
};

TEST(DibImageTest, InvalidFormatsLeaveTheImageUnchanged) {
    ScopedImage image;
    ASSERT_EQ(CreateImage(image.get(), 4, 4, 24), 1);
    BYTE* const bits = image->bits;
    EXPECT_EQ(CreateImage(image.get(), 0, 4, 24), 0);
    EXPECT_EQ(CreateImage(image.get(), 4, 0, 24), 0);
    EXPECT_EQ(CreateImage(image.get(), 4, 4, 0), 0);
    EXPECT_EQ(CreateImage(image.get(), -1, 4, 8), 0);
    EXPECT_EQ(image->bits, bits);
    EXPECT_EQ(image->width, 4);
    EXPECT_EQ(image->bitsPerPixel, 24);
}

TEST(DibImageTest, HeaderAndStrideDescribeTheFormat) {
    ScopedImage colour, grey;
    ASSERT_EQ(CreateImage(colour.get(), 10, 3, 24), 1);
    ASSERT_EQ(CreateImage(grey.get(), 10, 3, 8), 1);
    EXPECT_EQ(colour->stride, 32);
    EXPECT_EQ(grey->stride, 12);
    EXPECT_EQ(colour->header.biSize, 40u);
    EXPECT_EQ(colour->header.biWidth, 10);
    EXPECT_EQ(colour->header.biHeight, 3);
    EXPECT_EQ(colour->header.biPlanes, 1);
    EXPECT_EQ(colour->header.biBitCount, 24);
    EXPECT_EQ(colour->header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(colour->header.biSizeImage, 0u);
    EXPECT_NE(colour->memoryDc, nullptr);
    EXPECT_NE(colour->dibSection, nullptr);
}

TEST(DibImageTest, EightBitImagesCarryTheGreyRamp) {
    ScopedImage grey;
    ASSERT_EQ(CreateImage(grey.get(), 5, 5, 8), 1);
    RGBQUAD table[256];
    ASSERT_EQ(GetDIBColorTable(grey->memoryDc, 0, 256, table), 256u);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(grey->palette[i].rgbRed, i);
        EXPECT_EQ(table[i].rgbBlue, i);
        EXPECT_EQ(table[i].rgbGreen, i);
        EXPECT_EQ(table[i].rgbRed, i);
        EXPECT_EQ(table[i].rgbReserved, 0);
    }
    const RGBQUAD red{0, 0, 255, 0};
    EXPECT_EQ(SetImagePalette(grey.get(), 2, &red, 7, 1), 1);
    GetDIBColorTable(grey->memoryDc, 7, 1, table);
    EXPECT_EQ(table[0].rgbRed, 255);
    EXPECT_EQ(table[0].rgbGreen, 0);
    // Entries past the end of the palette are ignored rather than written.
    EXPECT_EQ(SetImagePalette(grey.get(), 2, &red, 255, 4), 1);
    EXPECT_EQ(grey->palette[255].rgbGreen, 0);
}

TEST(DibImageTest, WideImagesFallBackToZeroedHeapMemory) {
    for (uint16_t bits : {48, 64}) {
        ScopedImage image;
        ASSERT_EQ(CreateImage(image.get(), 7, 3, bits), 1);
        EXPECT_EQ(image->dibSection, nullptr);
        EXPECT_EQ(image->memoryDc, nullptr);
        ASSERT_NE(image->bits, nullptr);
        EXPECT_EQ(image->stride, bits == 48 ? 44 : 56);
        const std::vector<BYTE> zeros(static_cast<size_t>(image->stride * 3), 0);
        EXPECT_EQ(std::memcmp(image->bits, zeros.data(), zeros.size()), 0);
        // Converters work on it; drawing does nothing.
        ScopedImage wide;
        ASSERT_EQ(CopyImageFormat(wide.get(), image.get()), 1);
        EXPECT_EQ(wide->bitsPerPixel, bits);
        EXPECT_EQ(wide->header.biBitCount, bits);
        image->bits[0] = 0x34;
        image->bits[1] = 0x12;
        EXPECT_EQ(TransferImage(wide.get(), Shift48By4, image.get(), nullptr, 0, 0, nullptr, nullptr), 1);
        EXPECT_EQ(wide->bits[0], 0x40);
        EXPECT_EQ(wide->bits[1], 0x23);
        ScopedImage target;
        ASSERT_EQ(CreateImage(target.get(), 7, 3, 24), 1);
        DrawImage(image.get(), target->memoryDc, 0, 0, nullptr);
        EXPECT_EQ(GetPixel(target->memoryDc, 0, 2), RGB(0, 0, 0));
    }
}

TEST(DibImageTest, DestroyEmptiesAndIsSafeTwice) {
    ScopedImage image;
    ASSERT_EQ(CreateImage(image.get(), 3, 3, 32), 1);
    DestroyImage(image.get());
    EXPECT_EQ(image->bits, nullptr);
    EXPECT_EQ(image->memoryDc, nullptr);
    EXPECT_EQ(image->width, 0);
    EXPECT_EQ(image->stride, 0);
    EXPECT_EQ(image->header.biSize, 40u);
    DestroyImage(image.get());
    EXPECT_EQ(CopyImageFormat(image.get(), nullptr), 0);
}

TEST(DibImageTest, DrawsStorageRowsBottomUp) {
    ScopedImage image, target;
    ASSERT_EQ(CreateImage(image.get(), 4, 3, 24), 1);
    ASSERT_EQ(CreateImage(target.get(), 4, 3, 24), 1);
    // Storage row 0 is the bottom row of the picture.
    image->bits[0] = 255;                              // blue at (0, bottom)
    image->bits[2 * image->stride + 3 * 3 + 2] = 255;  // red at (3, top)
    GdiFlush();
    DrawImage(image.get(), target->memoryDc, 0, 0, nullptr);
    EXPECT_EQ(GetPixel(target->memoryDc, 0, 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(target->memoryDc, 3, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(target->memoryDc, 1, 1), RGB(0, 0, 0));
}

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), {});
}

uint32_t Le32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

TEST(DibImageTest, SavesBmpFilesWithHeaderPaletteAndRows) {
    const std::string path = ::testing::TempDir() + "imaging_save.bmp";
    for (uint16_t bits : {8, 24}) {
        ScopedImage image;
        ASSERT_EQ(CreateImage(image.get(), 5, 2, bits), 1);
        for (int32_t i = 0; i < image->stride * 2; ++i) image->bits[i] = static_cast<BYTE>(i + 1);
        {
            std::ofstream longer(path, std::ios::binary);
            longer << std::string(5000, 'x');  // an existing, longer file is truncated
        }
        ASSERT_TRUE(SaveImageAsBmp(image.get(), path.c_str()));
        const auto file = ReadFile(path);
        const uint32_t offset = bits == 8 ? 1078 : 54;
        ASSERT_EQ(file.size(), offset + 2u * image->stride);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(Le32(file, 2), file.size());
        EXPECT_EQ(Le32(file, 10), offset);
        EXPECT_EQ(std::memcmp(file.data() + 14, &image->header, 40), 0);
        if (bits == 8) {
            EXPECT_EQ(Le32(file, 54 + 4 * 200), 0x00C8C8C8u);
        }
        EXPECT_EQ(std::memcmp(file.data() + offset, image->bits, 2u * image->stride), 0);
    }
    std::remove(path.c_str());
    ScopedImage image;
    ASSERT_EQ(CreateImage(image.get(), 2, 2, 24), 1);
    EXPECT_FALSE(SaveImageAsBmp(image.get(), "/nonexistent-directory/x.bmp"));
}

}  // namespace
