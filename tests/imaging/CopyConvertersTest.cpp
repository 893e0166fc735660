#include <gtest/gtest.h>

#include <random>

#include "TestImages.h"
#include "imaging/Converters.h"

namespace {

// A converter, its pixel sizes and its per-channel rule (from source channel values to
// destination channel values, blue first).
struct CopyCase {
    const char* name;
    ConverterFn converter;
    int32_t sourceBytes;
    int32_t destBytes;
    bool reversed;
    std::vector<uint32_t> (*rule)(const std::vector<uint32_t>& source);
};

std::vector<uint32_t> Shifted(const std::vector<uint32_t>& s, int shift, uint32_t mask, bool swap) {
    std::vector<uint32_t> d;
    for (size_t c = 0; c < s.size(); ++c) d.push_back(((shift >= 0 ? s[c] >> shift : s[c] << -shift)) & mask);
    if (swap) std::swap(d[0], d[2]);
    return d;
}

const CopyCase kCases[] = {
    {"Convert10To8Reversed", Convert10To8Reversed, 2, 1, true,
     [](const auto& s) { return Shifted(s, 2, 0xFF, false); }},
    {"Convert12To8Reversed", Convert12To8Reversed, 2, 1, true,
     [](const auto& s) { return Shifted(s, 4, 0xFF, false); }},
    {"Convert16HighByte", Convert16HighByte, 2, 1, false, [](const auto& s) { return Shifted(s, 8, 0xFF, false); }},
    {"Convert16HighByteReversed", Convert16HighByteReversed, 2, 1, true,
     [](const auto& s) { return Shifted(s, 8, 0xFF, false); }},
    {"Shift12To16", Shift12To16, 2, 2, false, [](const auto& s) { return Shifted(s, -4, 0xFFFF, false); }},
    {"Shift10To16", Shift10To16, 2, 2, false, [](const auto& s) { return Shifted(s, -6, 0xFFFF, false); }},
    {"Copy24", Copy24, 3, 3, false, [](const auto& s) { return s; }},
    {"Copy24Reversed", Copy24Reversed, 3, 3, true, [](const auto& s) { return s; }},
    {"Swap24", Swap24, 3, 3, false, [](const auto& s) { return Shifted(s, 0, 0xFF, true); }},
    {"Copy32InvertAlpha", Copy32InvertAlpha, 4, 4, false,
     [](const auto& s) {
         return std::vector<uint32_t>{s[0], s[1], s[2], 255 - s[3]};
     }},
    {"Convert48To24Shift5", Convert48To24Shift5, 6, 3, false, [](const auto& s) { return Shifted(s, 5, 0xFF, false); }},
    {"Convert48To24Reversed", Convert48To24Reversed, 6, 3, true,
     [](const auto& s) { return Shifted(s, 8, 0xFF, false); }},
    {"Shift48By4", Shift48By4, 6, 6, false, [](const auto& s) { return Shifted(s, -4, 0xFFFF, false); }},
    {"Shift48By6", Shift48By6, 6, 6, false, [](const auto& s) { return Shifted(s, -6, 0xFFFF, false); }},
    {"Shift48By4Swap", Shift48By4Swap, 6, 6, false, [](const auto& s) { return Shifted(s, -4, 0xFFFF, true); }},
    {"Shift48By6Swap", Shift48By6Swap, 6, 6, false, [](const auto& s) { return Shifted(s, -6, 0xFFFF, true); }},
    {"Expand48To64By4", Expand48To64By4, 6, 8, false,
     [](const auto& s) {
         auto d = Shifted(s, -4, 0xFFFF, false);
         d.push_back(0xFFFF);
         return d;
     }},
    {"Expand48To64By6", Expand48To64By6, 6, 8, false,
     [](const auto& s) {
         auto d = Shifted(s, -6, 0xFFFF, false);
         d.push_back(0xFFFF);
         return d;
     }},
    {"Expand48To64By4Swap", Expand48To64By4Swap, 6, 8, false,
     [](const auto& s) {
         auto d = Shifted(s, -4, 0xFFFF, true);
         d.push_back(0xFFFF);
         return d;
     }},
    {"Expand48To64By6Swap", Expand48To64By6Swap, 6, 8, false,
     [](const auto& s) {
         auto d = Shifted(s, -6, 0xFFFF, true);
         d.push_back(0xFFFF);
         return d;
     }},
    {"GrayFromColor", GrayFromColor, 3, 1, false,
     [](const auto& s) { return std::vector<uint32_t>{(30 * s[2] + 59 * s[1] + 11 * s[0]) / 100}; }},
};

int32_t Channels(int32_t bytes) { return bytes == 1 || bytes == 2 ? 1 : (bytes % 3 == 0 ? 3 : 4); }
bool Wide(int32_t bytes) { return bytes == 2 || bytes == 6 || bytes == 8; }

TEST(CopyConvertersTest, EveryPixelFollowsItsRuleAndRowOrder) {
    std::mt19937 rng(1);
    for (const CopyCase& c : kCases) {
        for (const TestSize& size : kTestSizes) {
            Plane source(size.width, size.height, c.sourceBytes, 4);
            source.FillRandom(rng, Wide(c.sourceBytes));
            Plane dest(size.width, size.height, c.destBytes, 8);
            ASSERT_EQ(RunConverter(c.converter, dest, source), 1) << c.name;
            for (int32_t y = 0; y < size.height; ++y) {
                const int32_t sourceRow = c.reversed ? size.height - 1 - y : y;
                for (int32_t x = 0; x < size.width; ++x) {
                    std::vector<uint32_t> in;
                    for (int32_t ch = 0; ch < Channels(c.sourceBytes); ++ch)
                        in.push_back(source.Get(x, sourceRow, ch, Wide(c.sourceBytes)));
                    const auto expected = c.rule(in);
                    for (size_t ch = 0; ch < expected.size(); ++ch) {
                        ASSERT_EQ(dest.Get(x, y, static_cast<int32_t>(ch), Wide(c.destBytes)), expected[ch])
                            << c.name << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(CopyConvertersTest, GreyFromPrimaries) {
    Plane source(3, 1, 3), dest(3, 1, 1);
    source.Set(0, 0, 2, false, 255);
    source.Set(1, 0, 1, false, 255);
    source.Set(2, 0, 0, false, 255);
    RunConverter(GrayFromColor, dest, source);
    EXPECT_EQ(dest.bytes[0], 76);
    EXPECT_EQ(dest.bytes[1], 150);
    EXPECT_EQ(dest.bytes[2], 28);
}

TEST(CopyRowsReversedTest, FlipsIntoAnotherImageAndOntoItself) {
    std::mt19937 rng(2);
    for (int32_t height : {1, 4, 7}) {
        Plane source(5, height, 3, 4);
        source.FillRandom(rng, false);
        Plane copy(5, height, 3, 4), inPlace = source;
        RunConverter(CopyRowsReversed, copy, source);
        RunConverter(CopyRowsReversed, inPlace, inPlace);
        for (int32_t y = 0; y < height; ++y) {
            const auto expected =
                std::vector<uint8_t>(source.Pixel(0, height - 1 - y), source.Pixel(0, height - 1 - y) + source.stride);
            EXPECT_EQ(std::vector<uint8_t>(copy.Pixel(0, y), copy.Pixel(0, y) + copy.stride), expected);
            EXPECT_EQ(std::vector<uint8_t>(inPlace.Pixel(0, y), inPlace.Pixel(0, y) + inPlace.stride), expected);
        }
    }
}

TEST(RepackRowsTest, SpreadsPackedRowsIntoAlignedRows) {
    for (int32_t bytes : {1, 2}) {
        const int32_t width = 5, height = 6;
        Plane image(width, height, bytes);  // stride 8 or 12, packed rows 5 or 10 bytes
        std::vector<uint8_t> packed(static_cast<size_t>(width * bytes * height));
        for (size_t i = 0; i < packed.size(); ++i) packed[i] = static_cast<uint8_t>(i * 7 + 1);
        std::copy(packed.begin(), packed.end(), image.bytes.begin());
        ASSERT_EQ(RunConverter(bytes == 1 ? RepackRows8 : RepackRows16, image, image), 1);
        for (int32_t y = 0; y < height; ++y) {
            EXPECT_TRUE(
                std::equal(image.Pixel(0, y), image.Pixel(0, y) + width * bytes, packed.begin() + y * width * bytes))
                << "row " << y;
        }
    }
}

TEST(ScaleNearestTest, ScalesWithReversedSourceRowsAndStaysInsideTheDestination) {
    Plane source(4, 4, 1), dest(8, 2, 1);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x) source.Set(x, y, 0, false, static_cast<uint32_t>(10 * y + x));
    const RECT sourceRect{0, 0, 4, 4}, destRect{0, 0, 8, 2};
    ASSERT_EQ(ScaleNearest8(dest.bytes.data(), source.bytes.data(), &destRect, &sourceRect, 8, 2, 4, 4, 1, 1,
                            dest.stride, source.stride, nullptr, nullptr),
              1);
    // Row k reads source storage row 4 - truncate(k x 2) - 1; column c reads truncate(c / 2).
    for (int32_t k = 0; k < 2; ++k)
        for (int32_t c = 0; c < 8; ++c) EXPECT_EQ(dest.Get(c, k, 0, false), 10u * (3 - 2 * k) + c / 2);

    // A destination rectangle hanging over the image edge writes only inside it.
    Plane small(3, 3, 3, 0);
    small.Fill(0);
    std::vector<uint8_t> guard(small.bytes.size() + 64, 0xCD);
    std::copy(small.bytes.begin(), small.bytes.end(), guard.begin());
    const RECT overhang{1, 1, 9, 9};
    Plane colour(4, 4, 3);
    colour.Fill(200);
    ASSERT_EQ(ScaleNearest24(guard.data(), colour.bytes.data(), &overhang, &sourceRect, 3, 3, 4, 4, 3, 3, small.stride,
                             colour.stride, nullptr, nullptr),
              1);
    for (size_t i = small.bytes.size(); i < guard.size(); ++i) ASSERT_EQ(guard[i], 0xCD);
    EXPECT_EQ(guard[small.stride * 2 + 2 * 3], 200);
}

}  // namespace
