// KELVRA_DEBUG picks the categories that reach the debug output. The setting is read once per
// process; each test runs in a process of its own, so each sets it before the first message.
#include "common/DebugLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string LoggedWith(const char* setting) {
    if (setting) {
        setenv("KELVRA_DEBUG", setting, 1);
    } else {
        unsetenv("KELVRA_DEBUG");
    }
    testing::internal::CaptureStderr();
    DebugLog(LogCategory::Usb, "pipe %d reset", 2);
    DebugLog(LogCategory::Session, "camera %s selected", "01");
    DebugLog(LogCategory::Device, "stream stopped");
    return testing::internal::GetCapturedStderr();
}

TEST(DebugLog, NamedCategoriesOnlyEachOnItsOwnLine) {
    EXPECT_EQ(LoggedWith("usb,session,nonsense"), "kelvra usb: pipe 2 reset\nkelvra session: camera 01 selected\n");
    EXPECT_TRUE(LogEnabled(LogCategory::Usb));
    EXPECT_FALSE(LogEnabled(LogCategory::Device));
}

TEST(DebugLog, AllShowsEveryCategory) {
    EXPECT_EQ(LoggedWith("device,all"),
              "kelvra usb: pipe 2 reset\nkelvra session: camera 01 selected\nkelvra device: stream stopped\n");
}

TEST(DebugLog, UnsetShowsNothing) { EXPECT_EQ(LoggedWith(nullptr), ""); }

TEST(DebugLog, AnOverlongMessageIsCutButStillEndsItsLine) {
    setenv("KELVRA_DEBUG", "imaging", 1);
    const std::string longText(2000, 'x');
    testing::internal::CaptureStderr();
    DebugLog(LogCategory::Imaging, "%s", longText.c_str());
    const std::string line = testing::internal::GetCapturedStderr();
    ASSERT_FALSE(line.empty());
    EXPECT_LT(line.size(), 512u);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line.rfind("kelvra imaging: xxx", 0), 0u);
}

}  // namespace
