// The error history and the error message: newest first, twenty deep, and posted only where a
// window asked for it.
#include "SdkTestSupport.h"
#include "session/CKelvra.h"

namespace {

// Each failure records one known code.
void FailWith(int32_t handle, int32_t code) {
    char name[8];
    KelvraCameraInfo info{};
    info.size = 35;
    switch (code) {
        case KELVRA_ERR_PARAMETER:
            EXPECT_EQ(Kelvra_GetDeviceName(handle, 0, name, sizeof name), 0);
            break;
        case KELVRA_ERR_NO_DEVICE:
            EXPECT_EQ(Kelvra_SetDeviceNumber(handle, 31), 0);
            break;
        case KELVRA_ERR_MEMORY:
            EXPECT_EQ(Kelvra_GetCameraInfo(handle, &info), 0);
            break;
        default:
            FAIL() << "no failure known for code " << code;
    }
}

TEST_F(SdkTest, LastErrorsComeBackNewestFirstThenZero) {
    const int32_t handle = Open();
    EXPECT_EQ(Kelvra_GetLastError(handle), 0);
    FailWith(handle, KELVRA_ERR_PARAMETER);
    FailWith(handle, KELVRA_ERR_NO_DEVICE);
    FailWith(handle, KELVRA_ERR_MEMORY);
    EXPECT_EQ(Kelvra_GetLastError(handle), KELVRA_ERR_MEMORY);
    EXPECT_EQ(Kelvra_GetLastError(handle), KELVRA_ERR_NO_DEVICE);
    EXPECT_EQ(Kelvra_GetLastError(handle), KELVRA_ERR_PARAMETER);
    EXPECT_EQ(Kelvra_GetLastError(handle), 0);
    EXPECT_EQ(Kelvra_GetLastError(handle), 0);
}

TEST_F(SdkTest, OnlyTheTwentyNewestErrorsAreKept) {
    const int32_t handle = Open();
    // Five oldest codes 9, then 2 and 5 alternating: the 9s fall off the end.
    std::vector<int32_t> newestFirst;
    for (int failure = 0; failure < 5; ++failure) FailWith(handle, KELVRA_ERR_PARAMETER);
    for (int failure = 0; failure < 20; ++failure) {
        const int32_t code = failure % 2 ? KELVRA_ERR_MEMORY : KELVRA_ERR_NO_DEVICE;
        FailWith(handle, code);
        newestFirst.insert(newestFirst.begin(), code);
    }
    EXPECT_EQ(Drain(handle), newestFirst);
    EXPECT_EQ(Kelvra_GetLastError(handle), 0);
}

// Errors of a session go to its notification window; reports that are only posted reach the
// caller's own queue when there is no window.
TEST(SessionErrors, RecordedWithoutWindowPostsNothingButPostOnlyReachesTheCaller) {
    MSG message{};
    while (PeekMessageA(&message, nullptr, WM_CAMERA_ERROR, WM_CAMERA_ERROR, PM_REMOVE)) {}
    CKelvra session;
    session.RecordError(KELVRA_ERR_THREAD);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_CAMERA_ERROR, WM_CAMERA_ERROR, PM_REMOVE));

    session.PostError(KELVRA_ERR_UNSUPPORTED);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_CAMERA_ERROR, WM_CAMERA_ERROR, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(message.lParam, KELVRA_ERR_UNSUPPORTED);
    EXPECT_EQ(session.PopLastError(), KELVRA_ERR_THREAD);
    EXPECT_EQ(session.PopLastError(), 0);
}

}  // namespace
