// Every product id of the heads with their own controller, opened as an application's session
// opens it: the size and ranges it reports, and frames of a window streamed from it. Grouped as
// the family is: the P-models, the cooled G1467x, the CCD camera.
#include "FamilyOpen.h"

#include <algorithm>

namespace {

constexpr int32_t kLineScanHeight = 32768;

// The family table's values; where it leaves a range open, the drivers' own choice.
const FamilyRow kPModels[] = {
    {0x3090, 2336, 1752, 15, 1023, 350, 1, 901, 1},
    {0x30B0, 4896, 3264, 15, 1023, 15, 1, 1711, 1},
    {0x30C0, 6576, 4384, 0, 1023, 100, 1, 2227, 1},
    {0x3140, 1280, 1024, 0, 0, 0, 1, 1372, 1240},
    {0x3150, 640, 512, 0, 255, 64, 0, 0xFFFFFF, 62499},
    {0x3170, 320, 256, 0, 255, 64, 0, 0xFFFFFF, 62499},
    {0x3190, 512, kLineScanHeight, 0, 255, 64, 1, 0xFFFF, 3000},
    {0x31A0, 256, kLineScanHeight, 0, 255, 64, 1, 0xFFFF, 3000},
    {0x31D0, 1024, kLineScanHeight, 0, 255, 64, 1, 0xFFFF, 1500},
    {0x31E0, 2048, 2048, 0, 255, 64, 5, 0x7FFFFFF, 1240},
    {0x3210, 2048, kLineScanHeight, 0, 255, 64, 1, 0xFFFF, 1500},
    {0x32D0, 1280, 1024, 0, 255, 64, 5, 0x7FFFFFF, 1240},
};
const FamilyRow kG1467x = {0x3220, 320, 256, 0, 255, 64, 0, 1677721, 5039};
const FamilyRow kCcd = {0x3050, 1600, 1200, 0, 1023, 256, 1, 1252, 1};

class FamilyModels : public FamilyOpen {
protected:
    // The 0x30B0 and 0x30C0 boards write a timing value into register 64, the image height's low
    // byte on the other boards, right after the size: the height must still be the window's.
    static int32_t WindowHeight(const FamilyRow& row) { return row.height == kLineScanHeight ? 16 : 240; }

    // The whole area where it is small; else a window off the origin, a few lines high on the
    // line-scan models, whose area is their line buffer.
    void OpenReportAndStream(const FamilyRow& row) {
        SCOPED_TRACE(testing::Message() << "product 0x" << std::hex << row.productId);
        ASSERT_EQ(OpenProduct(row.productId), 1);
        ExpectReports(row);
        if (row.width <= 640 && row.height <= 512) {
            ExpectStreams(0, 0, row.width, row.height);
        } else {
            ExpectStreams(16, 8, std::min(row.width - 16, 320), WindowHeight(row));
        }
    }
};

TEST_F(FamilyModels, PModelsOpenReportTheirRangesAndStreamTheirWindow) {
    for (const FamilyRow& row : kPModels) OpenReportAndStream(row);
}

TEST_F(FamilyModels, ConverterStreamsThreeSamplesPerPixelOfItsWindow) {
    ASSERT_EQ(OpenProduct(0x3130), 1);
    EXPECT_EQ(device->GetSensorWidth(), 1920);
    EXPECT_EQ(device->GetSensorHeight(), 1080);
    ASSERT_EQ(device->SetVideoFormat(100, 50, 64, 16, 0), 1);
    ASSERT_EQ(device->SetDataWidth(1), 1);
    ASSERT_EQ(device->FrameBytes(), 64u * 16 * 3 * 2);
    ASSERT_EQ(KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_H, 1), 1);
    std::vector<uint8_t> frame(device->FrameBytes(), 0);
    ASSERT_EQ(device->StartStreaming(0), 1);
    ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
    ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
    const size_t last = frame.size() - 2;
    EXPECT_EQ(frame[last] | frame[last + 1] << 8, 64 * 3 - 1);
}

TEST_F(FamilyModels, G1467xOpensReportsItsRangesAndCoolerAndStreams) {
    OpenReportAndStream(kG1467x);
    EXPECT_EQ(device->HasPeltier(), 1);
    EXPECT_EQ(device->TargetTemperatureAvailable(), 1);
    EXPECT_EQ(Sensor().Variant(), 105);
}

TEST_F(FamilyModels, CcdOpensReportsItsRangesAndStreams) { OpenReportAndStream(kCcd); }

}  // namespace
