// What a session keeps per camera number while it runs, and what a fresh camera number gets.
#include "session/CKelvra.h"
#include "session/SettingsStore.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsStore, GroupsComeBackPerCameraNumberAndFreshNumbersGetDefaults) {
    constexpr int32_t kStoredCamera = 1;
    constexpr int32_t kFreshCamera = 2;
    CKelvra session;
    session.filters.brightness = 40;
    session.filters.gamma = 150;
    session.gray.grayGainG2 = 7;
    session.camera.exposureLines = 1234;
    session.camera.exposureMs = 2.5;
    session.settings.SaveGroups(session, kStoredCamera);

    session.filters = ImageFilters{};
    session.gray = GraySettings{};
    session.camera = CameraSettings{};
    session.filters.bayerGainAuto = 1;
    session.settings.LoadGroups(session, kStoredCamera);
    EXPECT_EQ(session.filters.brightness, 40);
    EXPECT_EQ(session.filters.gamma, 150);
    EXPECT_EQ(session.gray.grayGainG2, 7);
    EXPECT_EQ(session.camera.exposureLines, 1234);
    EXPECT_EQ(session.camera.exposureMs, 2.5);
    EXPECT_EQ(session.filters.bayerGainAuto, 1);  // stored filters leave the white balance running

    session.settings.LoadGroups(session, kFreshCamera);
    EXPECT_EQ(session.filters.brightness, 0);
    EXPECT_EQ(session.filters.gamma, 100);
    EXPECT_EQ(session.filters.bayerGainRed, 100);
    EXPECT_EQ(session.gray.grayGainG2, 128);
    EXPECT_EQ(session.gray.grayOffsetB, 128);
    EXPECT_EQ(session.filters.bayerGainAuto, 0);
}

TEST(SettingsStore, EachSessionKeepsItsOwnSettings) {
    CKelvra first;
    first.filters.brightness = 25;
    first.settings.SaveGroups(first, 0);

    CKelvra second;
    second.filters.brightness = -90;
    second.settings.LoadGroups(second, 0);
    EXPECT_EQ(second.filters.brightness, 0);
    first.settings.LoadGroups(first, 0);
    EXPECT_EQ(first.filters.brightness, 25);
}

}  // namespace
