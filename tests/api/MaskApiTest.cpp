// Calibration through the public API against simulated cameras: mask files saved, loaded and
// refused, planes taken from frames and the shading they give, configuration files, the wide
// variants, and files loading while a preview runs.
#include "SdkTestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;
constexpr size_t kBlock8 = 1310720;
constexpr size_t kBlock16 = 2621440;
constexpr size_t kFileSize = 40 + 2 * kBlock8 + 2 * kBlock16;
constexpr int32_t kFrame16 = kWidth * 2 * kHeight;

std::string TempPath(const std::string& name) { return testing::TempDir() + "maskapi-" + name; }

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t Get16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// A mask file written as the format describes it, with uniform planes.
std::vector<uint8_t> MaskFileBytes(uint8_t dark8, uint8_t white8, uint16_t dark16, uint16_t white16) {
    std::vector<uint8_t> bytes(kFileSize);
    const char magic[] = "TAVREL MASK1000";
    std::copy(magic, magic + sizeof magic, bytes.begin());
    Put32(bytes, 16, kWidth);
    Put32(bytes, 20, kHeight);
    Put32(bytes, 24, kBlock8);
    Put32(bytes, 28, kBlock8);
    Put32(bytes, 32, kBlock16);
    Put32(bytes, 36, kBlock16);
    size_t at = 40;
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), kBlock8, dark8);
    at += kBlock8;
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), kBlock8, white8);
    at += kBlock8;
    for (const uint16_t level : {dark16, white16}) {
        for (size_t i = 0; i < kBlock16; i += 2) {
            bytes[at + i] = static_cast<uint8_t>(level);
            bytes[at + i + 1] = static_cast<uint8_t>(level >> 8);
        }
        at += kBlock16;
    }
    return bytes;
}

class MaskApi : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        camera = Attach();
        handle = Open();
        ASSERT_EQ(Drain(handle), std::vector<int32_t>{});
    }

    void TearDown() override {
        SdkTest::TearDown();
        for (const std::string& path : made) std::remove(path.c_str());
    }

    std::string Made(const std::string& name) {
        made.push_back(TempPath(name));
        return made.back();
    }

    int camera = 0;
    int32_t handle = 0;
    std::vector<std::string> made;
};

TEST_F(MaskApi, MasksOfANewSessionSaveAsTheFormatSaysAndLoadBack) {
    const std::string path = Made("initial.msk");
    ASSERT_EQ(Kelvra_SaveMaskFile(handle, path.c_str()), 1);
    const std::vector<uint8_t> bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), kFileSize);
    EXPECT_EQ(bytes, MaskFileBytes(0, 0xFF, 0, 8191));

    ASSERT_EQ(Kelvra_LoadMaskFile(handle, path.c_str()), 1);
    // Another session's file replaces every plane; saving again gives it back.
    const std::string other = Made("other.msk");
    const std::vector<uint8_t> planes = MaskFileBytes(3, 200, 77, 6000);
    WriteAll(other, planes);
    ASSERT_EQ(Kelvra_LoadMaskFile(handle, other.c_str()), 1);
    ASSERT_EQ(Kelvra_SaveMaskFile(handle, path.c_str()), 1);
    EXPECT_EQ(ReadAll(path), planes);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

TEST_F(MaskApi, RefusedFilesAndCallsLeaveTheMasksAsTheyWere) {
    const std::string good = Made("good.msk");
    const std::vector<uint8_t> planes = MaskFileBytes(1, 250, 100, 7000);
    WriteAll(good, planes);
    ASSERT_EQ(Kelvra_LoadMaskFile(handle, good.c_str()), 1);

    const std::string bad = Made("bad.msk");
    std::vector<uint8_t> damaged = MaskFileBytes(9, 9, 9, 9);
    Put32(damaged, 24, kBlock8 + 1);
    WriteAll(bad, damaged);
    EXPECT_EQ(Kelvra_LoadMaskFile(handle, bad.c_str()), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_MASK_FILE});
    // Cut inside the last block: everything before it is valid, and still nothing is taken.
    WriteAll(bad, std::vector<uint8_t>(planes.begin(), planes.end() - 1000));
    EXPECT_EQ(Kelvra_LoadMaskFile(handle, bad.c_str()), 0);
    EXPECT_EQ(Kelvra_LoadMaskFile(handle, Made("missing.msk").c_str()), 0);
    EXPECT_EQ(Kelvra_LoadMaskFile(handle, nullptr), 0);
    EXPECT_EQ(Kelvra_SaveMaskFile(handle, TempPath("no-such-folder/x.msk").c_str()), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(4, KELVRA_ERR_MASK_FILE));
    EXPECT_EQ(Kelvra_UpdateMaskData(handle, 2), 0);
    EXPECT_EQ(Kelvra_UpdateMaskData(handle, -1), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(2, KELVRA_ERR_FAILED));

    const std::string saved = Made("saved.msk");
    ASSERT_EQ(Kelvra_SaveMaskFile(handle, saved.c_str()), 1);
    EXPECT_EQ(ReadAll(saved), planes);
    EXPECT_EQ(Kelvra_LoadMaskFile(handle + 1000, good.c_str()), 0);
}

TEST_F(MaskApi, WideVariantsConvertThePathOrRecordFailed) {
    const std::string dir = testing::TempDir();
    const std::wstring widePath = std::wstring(dir.begin(), dir.end()) + L"maskapi-wide-\u00e9.msk";
    // The file's name is the wide one in the ANSI code page: UTF-8 on Linux, the system's own
    // code page on Windows.
    char narrowName[32] = {};
    ASSERT_GT(
        WideCharToMultiByte(CP_THREAD_ACP, 0, L"wide-\u00e9.msk", -1, narrowName, sizeof narrowName, nullptr, nullptr),
        0);
    made.push_back(TempPath(narrowName));
    ASSERT_EQ(Kelvra_SaveMaskFileW(handle, widePath.c_str()), 1);
    EXPECT_EQ(ReadAll(made.back()).size(), kFileSize);
    EXPECT_EQ(Kelvra_LoadMaskFileW(handle, widePath.c_str()), 1);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});

    // No path, and one whose conversion does not fit the 1024-byte buffer.
    const std::wstring tooLong(1100, L'x');
    for (const wchar_t* path : {static_cast<const wchar_t*>(nullptr), tooLong.c_str()}) {
        EXPECT_EQ(Kelvra_LoadMaskFileW(handle, path), 0);
        EXPECT_EQ(Kelvra_SaveMaskFileW(handle, path), 0);
        EXPECT_EQ(Kelvra_LoadConfigFileW(handle, path), 0);
        EXPECT_EQ(Drain(handle), std::vector<int32_t>(3, KELVRA_ERR_FAILED));
    }

    // A configuration file that cannot be read returns 0 and records nothing.
    EXPECT_EQ(Kelvra_LoadConfigFileA(handle, Made("missing.cfg").c_str()), 0);
    const std::wstring missing = std::wstring(dir.begin(), dir.end()) + L"maskapi-missing.cfg";
    EXPECT_EQ(Kelvra_LoadConfigFileW(handle, missing.c_str()), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
    const std::string config = Made("list.cfg");
    WriteAll(config, std::vector<uint8_t>(20, 0));
    EXPECT_EQ(Kelvra_LoadConfigFileA(handle, config.c_str()), 1);
    const std::wstring wideConfig = std::wstring(dir.begin(), dir.end()) + L"maskapi-list.cfg";
    EXPECT_EQ(Kelvra_LoadConfigFileW(handle, wideConfig.c_str()), 1);
}

TEST_F(MaskApi, PlanesTakenFromFramesShadeTheFramesAfterThem) {
    std::vector<uint8_t> image(kFrame16);
    const auto snap = [&](int level) {
        KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, level);
        ASSERT_EQ(Kelvra_SnapShot(handle, image.data(), kFrame16, 1), 1);
    };
    snap(1000);
    ASSERT_EQ(Kelvra_UpdateMaskData(handle, 0), 1);
    snap(5000);
    ASSERT_EQ(Kelvra_UpdateMaskData(handle, 1), 1);

    const std::string path = Made("frames.msk");
    ASSERT_EQ(Kelvra_SaveMaskFile(handle, path.c_str()), 1);
    // The 16-bit frames went into the 16-bit planes; the 8-bit ones are as they were.
    EXPECT_EQ(ReadAll(path), MaskFileBytes(0, 0xFF, 1000, 5000));

    ASSERT_EQ(Kelvra_SetMaskFilter(handle, 1), 1);
    snap(3000);
    // (3000 - 1000) * 8192 / (5000 - 1000) on the 13-bit scale, times 8; the outer two pixels
    // of a full frame stay as they came.
    const auto sample = [&](int32_t x, int32_t row) {
        return Get16(image, (static_cast<size_t>(row) * kWidth + x) * 2);
    };
    EXPECT_EQ(sample(2, 2), 4096 * 8);
    EXPECT_EQ(sample(640, 512), 4096 * 8);
    EXPECT_EQ(sample(kWidth - 3, kHeight - 3), 4096 * 8);
    EXPECT_EQ(sample(1, 500), 3000);
    EXPECT_EQ(sample(640, kHeight - 1), 3000);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

}  // namespace
