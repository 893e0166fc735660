// Calibration files loading while a preview runs: every frame is corrected with one whole set of
// masks and one whole defect list, never a mixture, and the locks of the worker and of the
// loading calls never wait on each other.
#include "SdkTestSupport.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;
constexpr int32_t kFrame16 = kWidth * 2 * kHeight;
constexpr size_t kBlock8 = 1310720;
constexpr size_t kBlock16 = 2621440;

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A mask file with neutral 8-bit planes, a dark 16-bit plane of 0 and a uniform white one.
void WriteMaskFile(const std::string& path, uint16_t white16) {
    std::vector<uint8_t> bytes(40 + 2 * kBlock8 + 2 * kBlock16, 0);
    const char magic[] = "TAVREL MASK1000";
    std::copy(magic, magic + sizeof magic, bytes.begin());
    const uint32_t fields[] = {kWidth, kHeight, kBlock8, kBlock8, kBlock16, kBlock16};
    for (size_t i = 0; i < 6; ++i) Put32(bytes, 16 + 4 * i, fields[i]);
    std::fill_n(bytes.begin() + 40 + kBlock8, kBlock8, 0xFF);
    for (size_t at = 40 + 2 * kBlock8 + kBlock16; at < bytes.size(); at += 2) {
        bytes[at] = static_cast<uint8_t>(white16);
        bytes[at + 1] = static_cast<uint8_t>(white16 >> 8);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A configuration file listing a block of count x count pixels from (x, y).
void WriteConfigFile(const std::string& path, int32_t x, int32_t y, int32_t count) {
    std::vector<uint8_t> bytes;
    for (int32_t row = 0; row < count; ++row) {
        for (int32_t column = 0; column < count; ++column) {
            bytes.resize(bytes.size() + 8);
            Put32(bytes, bytes.size() - 8, static_cast<uint32_t>(x + column));
            Put32(bytes, bytes.size() - 4, static_cast<uint32_t>(y + row));
        }
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The shading leaves a full frame's two outer pixels, and the dot filter then replaces the pixels
// on either side of that step: what lies further in is uniform when the frame is.
constexpr int32_t kInset = 4;

// The one value of the frame inside kInset, or -1 when it holds more than one.
int32_t UniformInterior(const std::vector<uint8_t>& image) {
    const auto sample = [&](int32_t x, int32_t row) {
        const size_t at = (static_cast<size_t>(row) * kWidth + static_cast<size_t>(x)) * 2;
        return static_cast<int32_t>(image[at] | image[at + 1] << 8);
    };
    const int32_t value = sample(kInset, kInset);
    for (int32_t x = kInset; x < kWidth - kInset; ++x)
        if (sample(x, kInset) != value) return -1;
    // Every further row as the first.
    const size_t first = (static_cast<size_t>(kInset) * kWidth + kInset) * 2;
    const size_t length = static_cast<size_t>(kWidth - 2 * kInset) * 2;
    for (int32_t row = kInset + 1; row < kHeight - kInset; ++row) {
        const size_t at = (static_cast<size_t>(row) * kWidth + kInset) * 2;
        if (std::memcmp(image.data() + at, image.data() + first, length) != 0) return -1;
    }
    return value;
}

class MaskThreads : public SdkTest {
protected:
    void TearDown() override {
        SdkTest::TearDown();
        for (const std::string& path : made) std::remove(path.c_str());
    }

    std::string Made(const std::string& name) {
        made.push_back(testing::TempDir() + "maskthreads-" + name);
        return made.back();
    }

    std::vector<std::string> made;
};

TEST_F(MaskThreads, APreviewSeesWholeMasksAndListsWhileFilesLoadInALoop) {
    const int camera = Attach();
    const int32_t handle = Open();
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 2000);
    KelvraSim_SetFrameRate(camera, 100);
    // A flat 2000 shaded against white 4000 or 8000 gives 4096 or 2048 on the 13-bit scale.
    const std::string masks[] = {Made("a.msk"), Made("b.msk")};
    WriteMaskFile(masks[0], 4000);
    WriteMaskFile(masks[1], 8000);
    const std::set<int32_t> wholeMasks = {4096 * 8, 2048 * 8};
    const std::string lists[] = {Made("a.cfg"), Made("b.cfg")};
    WriteConfigFile(lists[0], 100, 100, 30);
    WriteConfigFile(lists[1], 700, 400, 40);

    ASSERT_EQ(Kelvra_SetMaskFilter(handle, 1), 1);
    ASSERT_EQ(Kelvra_SetDotFilter(handle, 1), 1);
    ASSERT_EQ(Kelvra_SetConfigFilter(handle, 1), 1);
    ASSERT_EQ(Kelvra_LoadMaskFile(handle, masks[0].c_str()), 1);
    ASSERT_EQ(Kelvra_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Kelvra_Preview(handle), 1);

    std::vector<uint8_t> image(kFrame16);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Kelvra_GetImage(handle, image.data(), kFrame16, 1) != 1 && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Drain(handle);
    const long framesBefore = KelvraSim_FramesSent(camera);

    for (int i = 0; i < 16; ++i) {
        ASSERT_EQ(Kelvra_LoadMaskFile(handle, masks[i % 2].c_str()), 1);
        ASSERT_EQ(Kelvra_LoadConfigFileA(handle, lists[i % 2].c_str()), 1);
        ASSERT_EQ(Kelvra_GetImage(handle, image.data(), kFrame16, 1), 1);
        const int32_t value = UniformInterior(image);
        ASSERT_TRUE(wholeMasks.count(value)) << "iteration " << i << ": " << value;
    }
    // Planes taken from the frames the worker is writing.
    ASSERT_EQ(Kelvra_SetMaskFilter(handle, 0), 1);
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(Kelvra_UpdateMaskData(handle, i % 2), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(Kelvra_StopPreview(handle), 1);
    // The preview went on while the files loaded.
    EXPECT_GT(KelvraSim_FramesSent(camera), framesBefore + 10);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

}  // namespace
