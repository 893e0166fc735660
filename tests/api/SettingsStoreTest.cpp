// What a session keeps per camera number between sessions, and what a fresh camera number gets.
#include "session/CKelvra.h"
#include "session/SettingsStore.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsStore, GroupsComeBackPerCameraNumberAndFreshNumbersGetDefaults) {
    constexpr int32_t kStoredCamera = 17;
    constexpr int32_t kFreshCamera = 18;
    {
        CKelvra before;
        before.brightness = 40;
        before.gamma = 150;
        before.grayGainG2 = 7;
        before.exposureLines = 1234;
        before.exposureMs = 2.5;
        SettingsStore::SaveGroups(before, kStoredCamera);
    }
    CKelvra after;
    after.bayerGainAuto = 1;
    SettingsStore::LoadGroups(after, kStoredCamera);
    EXPECT_EQ(after.brightness, 40);
    EXPECT_EQ(after.gamma, 150);
    EXPECT_EQ(after.grayGainG2, 7);
    EXPECT_EQ(after.exposureLines, 1234);
    EXPECT_EQ(after.exposureMs, 2.5);
    EXPECT_EQ(after.bayerGainAuto, 1);  // stored filters leave the white balance running

    SettingsStore::LoadGroups(after, kFreshCamera);
    EXPECT_EQ(after.brightness, 0);
    EXPECT_EQ(after.gamma, 100);
    EXPECT_EQ(after.bayerGainRed, 100);
    EXPECT_EQ(after.grayGainG2, 128);
    EXPECT_EQ(after.grayOffsetB, 128);
    EXPECT_EQ(after.bayerGainAuto, 0);
}

TEST(SettingsStore, ASessionThatNeverSelectedACameraLeavesTheStoredSettingsAlone) {
    {
        CKelvra stored;
        stored.brightness = 25;
        SettingsStore::SaveGroups(stored, 0);
    }
    {
        CKelvra idle;
        idle.brightness = -90;
    }
    CKelvra next;
    SettingsStore::LoadGroups(next, 0);
    EXPECT_EQ(next.brightness, 25);
}

}  // namespace
