// Still image files as other programs read them: every file type at every depth a session's
// output image can have, opened by Pillow, pngcheck and tiffinfo; the exact bytes of BMP and raw
// files; sample depths below 16 bits; and files that cannot be written completely.
#ifndef _WIN32
#include "FileSizeLimit.h"
#endif
#include "output/FileReaders.h"
#include "output/StillImage.h"
#include "output/TestPictures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

using pictures::kColours;
using pictures::kGreys;
using pictures::Picture;

constexpr int kBmp = 0, kRaw = 1, kJpegHigh = 2, kJpegLow = 4, kPng = 5, kTiff = 6;
constexpr int32_t kDepths[] = {8, 16, 24, 32, 48, 64};

std::vector<int> Numbers(const std::string& text) {
    std::vector<int> numbers;
    std::istringstream parts(text);
    for (std::string part; std::getline(parts, part, ',');) numbers.push_back(std::atoi(part.c_str()));
    return numbers;
}

// The samples a reader should find in quadrant q: 16-bit grey exactly where the format keeps 16
// bits, else eight bits a sample; alpha (opaque) where the format keeps it.
std::vector<int> Expected(int type, int32_t depth, int q, bool withAlpha) {
    if (depth == 8) return {kGreys[q]};
    if (depth == 16) return {type == kPng || type == kTiff ? kGreys[q] << 8 | pictures::kLow16 : kGreys[q]};
    std::vector<int> rgb = {kColours[q].r, kColours[q].g, kColours[q].b};
    if (withAlpha) rgb.push_back(255);
    return rgb;
}

void ExpectPixel(const std::string& seen, const std::vector<int>& expected, int tolerance, const char* where) {
    const std::vector<int> values = Numbers(seen);
    ASSERT_GE(values.size(), expected.size()) << where << ": " << seen;
    for (size_t c = 0; c < expected.size(); ++c)
        EXPECT_NEAR(values[c], expected[c], tolerance) << where << " channel " << c << ": " << seen;
}

// The picture's corners where Pillow finds them: storage row 0 at the top, red where red goes.
void ExpectCorners(const std::map<std::string, std::string>& facts, int type, int32_t depth, bool withAlpha,
                   int tolerance) {
    ExpectPixel(facts.at("topLeft"), Expected(type, depth, 0, withAlpha), tolerance, "top left");
    ExpectPixel(facts.at("topRight"), Expected(type, depth, 1, withAlpha), tolerance, "top right");
    ExpectPixel(facts.at("bottomLeft"), Expected(type, depth, 2, withAlpha), tolerance, "bottom left");
}

class StillImageFiles : public ::testing::Test {
protected:
    std::string Save(const Picture& picture, int type, const std::string& name, int32_t sampleBits = 16) {
        const std::string path = folder.File(name);
        EXPECT_TRUE(SaveImageFile(picture.image, path.c_str(), type, sampleBits)) << name;
        return path;
    }
    readers::TemporaryFolder folder;
};

TEST_F(StillImageFiles, PngOfEveryDepthOpensWithItsDepthColourTypeAndBigEndianSamples) {
    struct Form {
        int32_t depth;
        int bitDepth;
        int colourType;
        const char* firstPixel;  // as stored, before the second pixel
    };
    const Form forms[] = {{8, 8, 0, "28"},        {16, 16, 0, "285a"},         {24, 8, 2, "c81e5a"},
                          {32, 8, 6, "c81e5aff"}, {48, 16, 2, "c8331e335a33"}, {64, 16, 6, "c8331e335a33ffff"}};
    for (const Form& form : forms) {
        SCOPED_TRACE(form.depth);
        Picture picture(form.depth);
        pictures::Paint(picture);
        const std::string path = Save(picture, kPng, "picture.png");
        EXPECT_EQ(readers::Run("pngcheck -q " + readers::Quote(path)).status, 0);
        const auto facts = readers::Inspect(path);
        ASSERT_EQ(facts.count("format"), 1u);
        EXPECT_EQ(facts.at("size"), "37x32");
        EXPECT_EQ(facts.at("bitDepth"), std::to_string(form.bitDepth));
        EXPECT_EQ(facts.at("colourType"), std::to_string(form.colourType));
        EXPECT_EQ(facts.at("firstPixelStored").substr(0, std::strlen(form.firstPixel)), form.firstPixel);
        ExpectCorners(facts, kPng, form.depth, form.depth == 32 || form.depth == 64, 0);
    }
}

TEST_F(StillImageFiles, TiffOfEveryDepthHasUnpaddedRowsInRedGreenBlueOrder) {
    struct Form {
        int32_t depth;
        const char* samplesPerPixel;
        const char* bitsPerSample;
        const char* photometric;
        const char* firstPixel;
    };
    const Form forms[] = {{8, "1", "8", "1", "28"},
                          {16, "1", "16", "1", "5a28"},
                          {24, "3", "8,8,8", "2", "c81e5a"},
                          {32, "4", "8,8,8,8", "2", "c81e5a00"},
                          {48, "3", "16,16,16", "2", "33c8331e335a"},
                          {64, "4", "16,16,16,16", "2", "33c8331e335affff"}};
    for (const Form& form : forms) {
        SCOPED_TRACE(form.depth);
        Picture picture(form.depth);
        pictures::Paint(picture);
        const std::string path = Save(picture, kTiff, "picture.tif");
        const readers::Result info = readers::Run("tiffinfo " + readers::Quote(path), true);
        EXPECT_EQ(info.status, 0);
        EXPECT_EQ(info.output.find("arning"), std::string::npos) << info.output;
        EXPECT_EQ(info.output.find("rror"), std::string::npos) << info.output;
        const auto facts = readers::Inspect(path);
        ASSERT_EQ(facts.count("format"), 1u);
        EXPECT_EQ(facts.at("size"), "37x32");
        EXPECT_EQ(facts.at("samplesPerPixel"), form.samplesPerPixel);
        EXPECT_EQ(facts.at("bitsPerSample"), form.bitsPerSample);
        EXPECT_EQ(facts.at("photometric"), form.photometric);
        // One strip of rows without padding: a padded row would shear every row after the first.
        EXPECT_EQ(facts.at("stripBytes"), std::to_string(pictures::kWidth * pictures::kHeight * form.depth / 8));
        EXPECT_EQ(facts.at("row0").substr(0, std::strlen(form.firstPixel)), form.firstPixel);
        EXPECT_EQ(facts.at("row1").substr(0, std::strlen(form.firstPixel)), form.firstPixel);
        ExpectCorners(facts, kTiff, form.depth, form.depth == 64, 0);
    }
}

TEST_F(StillImageFiles, JpegOfEveryDepthIsGreyOrColourTopRowFirstAtEachQuality) {
    for (int32_t depth : kDepths) {
        SCOPED_TRACE(depth);
        Picture picture(depth);
        pictures::Paint(picture);
        const std::string best = Save(picture, kJpegHigh, "best.jpg");
        const auto facts = readers::Inspect(best);
        ASSERT_EQ(facts.count("format"), 1u);
        EXPECT_EQ(facts.at("format"), "JPEG");
        EXPECT_EQ(facts.at("mode"), depth <= 16 ? "L" : "RGB");
        EXPECT_EQ(facts.at("size"), "37x32");
        ExpectCorners(facts, kJpegHigh, depth, false, 4);
        // A lower quality is a smaller file of the same picture.
        const std::string worst = Save(picture, kJpegLow, "worst.jpg");
        EXPECT_LT(std::filesystem::file_size(worst), std::filesystem::file_size(best));
        ExpectCorners(readers::Inspect(worst), kJpegLow, depth, false, 24);
    }
}

TEST_F(StillImageFiles, BmpIsBottomUpWithThePaletteOfGreyImages) {
    // Ten grey pixels a row pad to twelve bytes: 14 + 40 + 1024 + 10 x 12.
    Picture grey(8, 10, 10);
    for (int32_t y = 0; y < 10; ++y) std::memset(grey.At(0, y), y * 20, 10);
    const auto bytes = readers::ReadAll(Save(grey, kBmp, "grey.bmp"));
    ASSERT_EQ(bytes.size(), 1198u);
    EXPECT_EQ(readers::U32At(bytes, 2), 1198u);
    EXPECT_EQ(readers::U32At(bytes, 10), 1078u);
    EXPECT_EQ(bytes[1078], 9 * 20);  // the file's first row is the picture's last
    EXPECT_EQ(bytes[1078 + 9 * 12], 0);
    EXPECT_EQ(bytes[54 + 4 * 200], 200);  // palette entry 200 is grey 200

    for (int32_t depth : kDepths) {
        SCOPED_TRACE(depth);
        Picture picture(depth);
        pictures::Paint(picture);
        const std::string path = Save(picture, kBmp, "picture.bmp");
        const auto file = readers::ReadAll(path);
        const size_t pixels = depth == 8 ? 1078 : 54;
        ASSERT_EQ(file.size(), pixels + static_cast<size_t>(picture.image.stride) * pictures::kHeight);
        EXPECT_EQ(file[28] | file[29] << 8, depth);  // biBitCount
        EXPECT_EQ(0, std::memcmp(file.data() + pixels, picture.At(0, pictures::kHeight - 1), picture.image.stride));
        // Pillow reads the depths Windows itself draws; 16 bits would be read as 5-5-5 colour.
        if (depth == 8 || depth == 24 || depth == 32) ExpectCorners(readers::Inspect(path), kBmp, depth, false, 0);
    }
}

TEST_F(StillImageFiles, RawIsThePixelMemoryAsStored) {
    Picture frame(16, 1280, 1024);
    std::mt19937 noise(7);
    for (int32_t i = 0; i < frame.image.stride * frame.image.height; ++i)
        frame.image.bits[i] = static_cast<BYTE>(noise());
    const auto bytes = readers::ReadAll(Save(frame, kRaw, "frame.raw"));
    ASSERT_EQ(bytes.size(), 2621440u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), frame.image.bits, bytes.size()));
}

TEST_F(StillImageFiles, SamplesOfFewerBitsAreScaledToFullDepth) {
    Picture grey(16);
    for (int32_t y = 0; y < pictures::kHeight; ++y)
        for (int32_t x = 0; x < pictures::kWidth; ++x) pictures::Put16(grey.At(x, y), 0x3FF);  // 10-bit white
    EXPECT_EQ(readers::Inspect(Save(grey, kPng, "ten.png", 10)).at("topLeft"), std::to_string(0xFFC0));
    EXPECT_EQ(readers::Inspect(Save(grey, kTiff, "ten.tif", 10)).at("topLeft"), std::to_string(0xFFC0));
    ExpectPixel(readers::Inspect(Save(grey, kJpegHigh, "ten.jpg", 10)).at("topLeft"), {255}, 1, "jpeg");

    for (int32_t depth : {48, 64}) {
        Picture colour(depth);
        for (int32_t y = 0; y < pictures::kHeight; ++y) {
            for (int32_t x = 0; x < pictures::kWidth; ++x) {
                pictures::Put16(colour.At(x, y), 0x100);  // 12-bit blue
                pictures::Put16(colour.At(x, y) + 2, 0x0);
                pictures::Put16(colour.At(x, y) + 4, 0xFFF);  // 12-bit full red
                if (depth == 64) pictures::Put16(colour.At(x, y) + 6, 0);
            }
        }
        const auto png = readers::Inspect(Save(colour, kPng, "twelve.png", 12));
        EXPECT_EQ(png.at("firstPixelStored").substr(0, 12), "fff000001000") << depth;
        if (depth == 64) {
            EXPECT_EQ(png.at("firstPixelStored").substr(12, 4), "ffff");
        }
        const auto tiff = readers::Inspect(Save(colour, kTiff, "twelve.tif", 12));
        EXPECT_EQ(tiff.at("row0").substr(0, 12), "f0ff00000010") << depth;
    }
    // Another depth of 16-bit samples is not one the writers know.
    EXPECT_FALSE(SaveImageFile(grey.image, folder.File("eleven.png").c_str(), kPng, 11));
}

TEST_F(StillImageFiles, UnknownTypesAndUnwritablePathsWriteNothing) {
    Picture picture(24);
    pictures::Paint(picture);
    for (int type : {7, -1, 100}) {
        const std::string path = folder.File("type" + std::to_string(type));
        EXPECT_FALSE(SaveImageFile(picture.image, path.c_str(), type, 16));
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    for (int type = kBmp; type <= kTiff; ++type) {
        EXPECT_FALSE(SaveImageFile(picture.image, folder.File("missing/folder/file").c_str(), type, 16)) << type;
    }
    Picture odd(12);  // no writer takes 12 bits per pixel
    for (int type = kJpegHigh; type <= kTiff; ++type) {
        const std::string path = folder.File("odd" + std::to_string(type));
        EXPECT_FALSE(SaveImageFile(odd.image, path.c_str(), type, 16)) << type;
        EXPECT_FALSE(std::filesystem::exists(path)) << type;
    }
}

// A full disk is stood in for by the process's file size limit, which Windows does not have.
#ifndef _WIN32
TEST_F(StillImageFiles, AFileThatCannotBeWrittenWholeIsRemoved) {
    Picture picture(48, 300, 200);
    std::mt19937 noise(3);
    for (int32_t i = 0; i < picture.image.stride * picture.image.height; ++i)
        picture.image.bits[i] = static_cast<BYTE>(noise());
    for (int type : {kBmp, kRaw, kJpegHigh, kPng, kTiff}) {
        const std::string path = folder.File("cut" + std::to_string(type));
        {
            FileSizeLimit limit(4096);
            EXPECT_FALSE(SaveImageFile(picture.image, path.c_str(), type, 16)) << type;
        }
        EXPECT_FALSE(std::filesystem::exists(path)) << type;
        // The same save without the limit succeeds, so the limit was what failed it.
        EXPECT_TRUE(SaveImageFile(picture.image, path.c_str(), type, 16)) << type;
    }
}
#endif

}  // namespace
