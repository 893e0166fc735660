// Two sessions saving PNGs at the same moment: each save has write state of its own, so each
// file holds its own picture.
#include "output/FileReaders.h"
#include "output/StillImage.h"
#include "output/TestPictures.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(ConcurrentSaves, TwoThreadsSavingPngsAtOnceEachWriteTheirOwnPicture) {
    readers::TemporaryFolder folder;
    constexpr int kSaves = 8;
    const int greys[2] = {0x1234, 0xBEEF};
    auto saveMany = [&](int who) {
        pictures::Picture picture(16, 320, 240);
        for (int32_t y = 0; y < 240; ++y)
            for (int32_t x = 0; x < 320; ++x) pictures::Put16(picture.At(x, y), greys[who] + (x & 1));
        for (int i = 0; i < kSaves; ++i) {
            const std::string path = folder.File(std::to_string(who) + "-" + std::to_string(i) + ".png");
            EXPECT_TRUE(SaveImageFile(picture.image, path.c_str(), 5, 16));
        }
    };
    std::thread first(saveMany, 0), second(saveMany, 1);
    first.join();
    second.join();
    for (int who = 0; who < 2; ++who) {
        for (int i = 0; i < kSaves; ++i) {
            const std::string path = folder.File(std::to_string(who) + "-" + std::to_string(i) + ".png");
            EXPECT_EQ(readers::Run("pngcheck -q " + readers::Quote(path)).status, 0) << path;
            const auto facts = readers::Inspect(path);
            ASSERT_EQ(facts.count("topLeft"), 1u) << path;
            EXPECT_EQ(facts.at("topLeft"), std::to_string(greys[who])) << path;
            EXPECT_EQ(facts.at("topRight"), std::to_string(greys[who] + 1)) << path;
        }
    }
}

}  // namespace
