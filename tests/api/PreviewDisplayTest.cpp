// Kelvra_Preview on an X display: the window it opens shows the simulated camera's frames,
// read back from the server, with the camera's first row at the top.
#include "SdkTestSupport.h"
#include "platform_gdi/TestDisplay.h"

#include <chrono>
#include <cstdint>
#include <vector>

using kelvra::test::TestDisplay;

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;
// Sixteen-bit samples of y * 64: the preview's 8-bit picture (the high byte) grows by one grey
// level every four rows, from black at the camera's first row to white at its last.
constexpr int kRampLevel = 64;

uint32_t ExpectedGrey(int row) { return 0x010101u * static_cast<uint32_t>((row * kRampLevel) >> 8); }

class PreviewDisplay : public SdkTest {};

TEST_F(PreviewDisplay, ThePreviewWindowShowsTheCamerasRampTopRowFirst) {
    KELVRA_REQUIRE_TEST_DISPLAY(display);
    const int camera = Attach();
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_V, kRampLevel);
    const int32_t handle = Open();
    ASSERT_EQ(Kelvra_Preview(handle), 1);

    const ::Window shown = display->FindByTitle("Active Window");
    ASSERT_NE(shown, 0u);
    EXPECT_EQ(display->Size(shown), std::make_pair(kWidth, kHeight));
    std::vector<uint32_t> expected;
    expected.reserve(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) expected.insert(expected.end(), kWidth, ExpectedGrey(y));
    std::vector<uint32_t> grabbed;
    // The first frame follows the capture set-up; until then the window is black.
    const bool showsRamp = TestDisplay::WaitFor(
        [&] {
            grabbed = display->Grab(shown, 0, 0, kWidth, kHeight);
            return grabbed == expected;
        },
        std::chrono::seconds(15));
    ASSERT_EQ(grabbed.size(), expected.size());
    if (!showsRamp) {
        for (size_t i = 0; i < grabbed.size(); ++i) {
            ASSERT_EQ(grabbed[i], expected[i]) << "pixel (" << i % kWidth << ", " << i / kWidth << ")";
        }
    }
    EXPECT_EQ(grabbed.front(), 0u) << "the camera's first row is at the top";
    EXPECT_EQ(grabbed.back(), 0xFFFFFFu);

    EXPECT_EQ(Kelvra_StopPreview(handle), 1);
    EXPECT_EQ(Kelvra_Close(handle), 1);
    EXPECT_TRUE(TestDisplay::WaitFor([&] { return display->FindByTitle("Active Window") == 0; }));
}

}  // namespace
