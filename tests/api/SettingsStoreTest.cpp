// The settings of each camera number in the user's registry: what a fresh machine gets, what
// comes back after a release, camera numbers kept apart, and values a user edited into the
// registry that the library must not trust.
#include "SdkTestSupport.h"
#include "api/CSdkChain.h"
#include "session/CKelvra.h"
#include "session/RegistryKey.h"
#include "session/SettingsStore.h"
#include "kelvra/KelvraSimModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr char kCamera00[] = "Software\\Tavrel\\Kelvra880HQLNSdk\\Camera_00";
constexpr char kCamera01[] = "Software\\Tavrel\\Kelvra880HQLNSdk\\Camera_01";

std::string Key(const char* camera, const char* sub) { return std::string(camera) + "\\" + sub; }

std::optional<int32_t> Stored(const std::string& key, const char* name) {
    return RegistryKey(HKEY_CURRENT_USER, key.c_str(), false).ReadNumber(name);
}

void Store(const std::string& key, const char* name, int32_t value) {
    ASSERT_TRUE(RegistryKey(HKEY_CURRENT_USER, key.c_str(), true).WriteNumber(name, value));
}

class Settings : public SdkTest {};

TEST_F(Settings, GroupsComeBackPerCameraNumberAndFreshNumbersGetDefaults) {
    constexpr int32_t kStoredCamera = 1;
    constexpr int32_t kFreshCamera = 2;
    CKelvra session;
    session.filters.brightness = 40;
    session.filters.gamma = 150;
    session.gray.grayGainG2 = 7;
    session.camera.exposureLines = 1234;
    session.camera.exposureMs = 2.5;
    ASSERT_TRUE(SettingsStore::SaveGroups(session, kStoredCamera));

    session.filters = ImageFilters{};
    session.gray = GraySettings{};
    session.camera = CameraSettings{};
    session.filters.bayerGainAuto = 1;
    SettingsStore::LoadGroups(session, kStoredCamera);
    EXPECT_EQ(session.filters.brightness, 40);
    EXPECT_EQ(session.filters.gamma, 150);
    EXPECT_EQ(session.gray.grayGainG2, 7);
    EXPECT_EQ(session.camera.exposureLines, 1234);
    EXPECT_EQ(session.camera.exposureMs, 2.5);    // eight bytes in, eight bytes out
    EXPECT_EQ(session.filters.bayerGainAuto, 1);  // stored filters leave the white balance running

    SettingsStore::LoadGroups(session, kFreshCamera);
    EXPECT_EQ(session.filters.brightness, 0);
    EXPECT_EQ(session.filters.gamma, 100);
    EXPECT_EQ(session.filters.bayerGainRed, 100);
    EXPECT_EQ(session.gray.grayGainG2, 128);
    EXPECT_EQ(session.gray.grayOffsetB, 128);
    EXPECT_EQ(session.filters.bayerGainAuto, 0);
}

TEST_F(Settings, SettingsOutliveTheSessionThatMadeThem) {
    CKelvra first;
    first.filters.brightness = 25;
    ASSERT_TRUE(SettingsStore::SaveGroups(first, 0));

    CKelvra second;
    second.filters.brightness = -90;
    SettingsStore::LoadGroups(second, 0);
    EXPECT_EQ(second.filters.brightness, 25);
}

TEST_F(Settings, AFreshMachineGetsTheFirstCaptureSizeAndTheFormatValues) {
    Attach();
    const int32_t handle = Open();
    const std::string size = Key(kCamera00, "Size_00");
    EXPECT_EQ(Stored(size, "TH"), 1280);
    EXPECT_EQ(Stored(size, "TV"), 1024);
    EXPECT_EQ(Stored(size, "EH"), 1280);
    EXPECT_EQ(Stored(size, "EV"), 1024);
    EXPECT_EQ(Stored(size, "EHS"), 0);
    EXPECT_EQ(Stored(size, "EVS"), 0);
    EXPECT_EQ(Stored(size, "Buf"), 4);
    EXPECT_EQ(Stored(kCamera00, "Size"), 0);
    EXPECT_EQ(Stored(kCamera00, "Color"), 1);
    EXPECT_EQ(Stored(kCamera00, "SubSample"), 0);
    EXPECT_EQ(Stored(kCamera00, "WaitTime"), 1);
    EXPECT_EQ(Stored(kCamera00, "Clock"), 0);
    EXPECT_EQ(Kelvra_GetColorMode(handle), 16);
    EXPECT_EQ(Kelvra_GetWaitTime(handle), 1);
}

TEST_F(Settings, ReleaseStoresTheGroupsAndTheNextSessionAppliesThemToTheCamera) {
    const int camera = Attach();
    int32_t handle = Open();
    ASSERT_EQ(Kelvra_SetBrightness(handle, 40), 1);
    ASSERT_EQ(Kelvra_SetGrayGainB(handle, 17), 1);
    ASSERT_EQ(Kelvra_SetGlobalGain(handle, 77), 1);
    ASSERT_EQ(Kelvra_SetExposureTime(handle, 85000), 1);
    ASSERT_EQ(Kelvra_Release(handle), 1);
    handles.clear();
    EXPECT_EQ(Stored(Key(kCamera00, "Filter"), "Brightness"), 40);
    EXPECT_EQ(Stored(Key(kCamera00, "Gray"), "GainB1"), 17);
    EXPECT_EQ(Stored(Key(kCamera00, "Gain"), "Exposure"), 85000);

    kelvra::sim::ClearLogs(camera);
    handle = Open();
    const auto commands = kelvra::sim::HeadLog(camera);
    const auto sent = [&](const std::string& command) {
        return std::any_of(commands.begin(), commands.end(), [&](const auto& c) { return c.command == command; });
    };
    EXPECT_TRUE(sent("g -v 77"));
    EXPECT_TRUE(sent("i -v 85000"));
    int32_t ok = 0;
    EXPECT_EQ(Kelvra_GetBrightness(handle, &ok), 40);
    EXPECT_EQ(Kelvra_GetGrayGainB(handle, &ok), 17);
    EXPECT_EQ(Kelvra_GetGlobalGain(handle, &ok), 77);
    // Above 16 bits the stored exposure still reaches the head whole.
    EXPECT_EQ(Kelvra_GetExposureTime(handle, &ok), 85000);
}

TEST_F(Settings, TwoCameraNumbersKeepTheirOwnGroups) {
    Attach();
    Attach();
    const int32_t handle = Open();
    ASSERT_EQ(Kelvra_SetDeviceNumber(handle, 0), 1);
    ASSERT_EQ(Kelvra_SetContrast(handle, 11), 1);
    ASSERT_EQ(Kelvra_SetDeviceNumber(handle, 1), 1);  // camera 0's settings are stored on the way
    int32_t ok = 0;
    EXPECT_EQ(Kelvra_GetContrast(handle, &ok), 0);
    ASSERT_EQ(Kelvra_SetContrast(handle, -22), 1);
    ASSERT_EQ(Kelvra_SetDeviceNumber(handle, 0), 1);
    EXPECT_EQ(Kelvra_GetContrast(handle, &ok), 11);
    EXPECT_EQ(Stored(Key(kCamera00, "Filter"), "Contrast"), 11);
    EXPECT_EQ(Stored(Key(kCamera01, "Filter"), "Contrast"), -22);
}

TEST_F(Settings, ValuesEditedOutOfRangeFallBackToTheirDefaults) {
    Attach();
    Store(kCamera00, "Size", 100);
    Store(kCamera00, "Color", 9);
    Store(kCamera00, "WaitTime", -5);
    Store(kCamera00, "SubSample", 17);
    Store(Key(kCamera00, "Filter"), "R_Gain", 401);
    Store(Key(kCamera00, "Filter"), "Gamma", 120);
    Store(Key(kCamera00, "Filter"), "Hue", -361);
    Store(Key(kCamera00, "Gray"), "Mode", 3);
    Store(Key(kCamera00, "Gain"), "Global", 256);
    Store(Key(kCamera00, "Gain"), "Exposure", 0);
    Store(Key(kCamera00, "Gain"), "AutoIris", 7);
    Store(Key(kCamera00, "Gain"), "V_Mirror", 2);
    ASSERT_TRUE(RegistryKey(HKEY_CURRENT_USER, Key(kCamera00, "Gain").c_str(), true).WriteNumber("ExposureEx", 5));
    const int32_t handle = Open();
    const auto session = CSdkChain::Instance().Lookup(handle);
    EXPECT_EQ(session->format.width, 1280);
    EXPECT_EQ(session->format.colourMode, 1);
    EXPECT_EQ(session->format.waitTime.load(), 1);
    EXPECT_EQ(session->format.subSample, 0);
    EXPECT_EQ(session->filters.bayerGainRed, 100);
    EXPECT_EQ(session->filters.gamma, 120);  // the values in range are taken
    EXPECT_EQ(session->filters.hue, 0);
    EXPECT_EQ(session->gray.grayMode, 0);
    EXPECT_EQ(session->camera.globalGain, 128);  // what the head reports
    EXPECT_EQ(session->camera.exposureLines, 10000);
    EXPECT_EQ(session->camera.autoIris, 0);
    EXPECT_EQ(session->camera.mirrorV, 0);
    EXPECT_TRUE(std::isfinite(session->camera.exposureMs));

    // A stored colour mode of 2 is taken as 16-bit grey; 4 stays 48-bit colour.
    for (const auto& [stored, expected] : {std::pair{2, 16}, std::pair{4, 48}}) {
        Store(kCamera00, "Color", stored);
        const int32_t other = Open();
        EXPECT_EQ(Kelvra_GetColorMode(other), expected) << stored;
    }
}

TEST_F(Settings, CaptureWindowIsChosenAmongTheCameraNumbersStoredSizes) {
    Attach();
    const int32_t handle = Open();
    // Size_00 is the whole sensor; a 640 x 512 window is stored beside it.
    const std::string size01 = Key(kCamera00, "Size_01");
    for (const auto& [name, value] :
         {std::pair{"TH", 1280}, std::pair{"TV", 1024}, std::pair{"EH", 640}, std::pair{"EV", 512}, std::pair{"EHS", 0},
          std::pair{"EVS", 0}, std::pair{"Buf", 4}}) {
        Store(size01, name, value);
    }
    EXPECT_EQ(Kelvra_SetCaptureWindow(handle, 1280, 1024), 1);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
    EXPECT_EQ(Kelvra_SetCaptureWindow(handle, 800, 600), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_WINDOW});
    // This camera cannot crop: the stored 640 x 512 entry is found, refused, and the whole
    // sensor taken instead.
    EXPECT_EQ(Kelvra_SetCaptureWindow(handle, 640, 512), 1);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_SIZE});
    EXPECT_EQ(Kelvra_Width(handle), 1280);
    EXPECT_EQ(Kelvra_Height(handle), 1024);
}

}  // namespace
