// Every product id whose driver programs an image sensor chip opens on a simulated camera,
// reports the size and ranges of its row and streams frames of the window it was given.
#include "FamilyOpen.h"

namespace {

// productId, width, height, gain min/max/default, exposure min/max/default
const FamilyRow kChipRows[] = {
    {0x3020, 4608, 3288, 0, 127, 64, 1, 0x7FFF, 3288},
    {0x3030, 2592, 1944, 0, 63, 16, 1, 0x7FFF, 1920},
    {0x3040, 3856, 2764, 0, 127, 64, 1, 0x7FFF, 2764},
    {0x30F0, 3072, 2048, 0, 0, 0, 1, 0xFFFF, 2141},
    {0x3100, 1920, 1200, 0, 0, 0, 0, 4095, 960},
    {0x3110, 5440, 3648, 0, 0, 0, 0, 0, 0},
    {0x3120, 1920, 1080, 0, 0, 0, 0, 0, 0},
    {0x31B0, 2448, 2048, 0, 0, 0, 1, 0xFFFFF, 1582},
    {0x31B4, 2448, 2048, 0, 0, 0, 0, 0xFFFF, 1582},
    {0x31C0, 2048, 1536, 0, 480, 64, 1, 0xFFFFF, 10},
    {0x31C4, 2048, 1536, 0, 480, 64, 1, 0xFFFFF, 10},
    {0x31F0, 4168, 3062, 0, 0, 0, 4, 0xC06FFF8, 3075},
    {0x3200, 1280, 1024, 0, 0, 0, 0, 0, 0},
    {0x3260, 1280, 1024, 0, 0, 0, 15, 0xFFFFFE, 1064},
    {0x3270, 1280, 1024, 0, 0, 0, 15, 0xFFFFFE, 1064},
    {0x3280, 640, 512, 0, 0, 0, 15, 0xFFFFFE, 539},
    {0x3290, 640, 512, 0, 0, 0, 15, 0xFFFFFE, 539},
    {0x32A0, 2448, 2048, 0, 0, 0, 1, 0xFFFFF, 1582},
    {0x32B0, 1936, 1096, 0, 0, 0, 0, 0, 0},
    {0x32C0, 1280, 1024, 2, 62, 2, 1, 1080, 1080},
    {0x32E0, 2848, 2848, 0, 0, 0, 1, 0xFFFFE3, 1064},
    {0x32F0, 2848, 2848, 0, 0, 0, 1, 0xFFFFE3, 1064},
    {0x3300, 1440, 1080, 0, 0, 0, 1, 0xFFFF1, 1116},
};

using FamilyChips = FamilyOpen;

TEST_F(FamilyChips, EveryChipProductOpensReportsItsRowAndStreamsAWindow) {
    for (const FamilyRow& row : kChipRows) {
        SCOPED_TRACE(testing::Message() << "product 0x" << std::hex << row.productId);
        ASSERT_EQ(OpenProduct(row.productId), 1);
        ExpectReports(row);
        ExpectStreams(16, 8, 320, 240);
    }
}

TEST_F(FamilyChips, AWholeFrameStreamsAtTheFrameSize) {
    ASSERT_EQ(OpenProduct(0x3280), 1);
    const SensorParameters& g = Sensor().Parameters();
    ExpectStreams(0, 0, g.frameWidth, g.frameHeight);
}

}  // namespace
