// Sessions, camera selection and naming through the public C API, against simulated cameras.
#include "SdkTestSupport.h"

#include <cstring>
#include <string>

namespace {

using Names = char[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE];

// A camera is open when the session can report the ranges its sensor driver knows.
bool HasOpenCamera(int32_t handle) {
    KelvraCameraInfo info{};
    info.size = sizeof info;
    return Kelvra_GetCameraInfo(handle, &info) == 1 && info.exposureMax > 0;
}

std::vector<std::string> ListedNames(int32_t handle) {
    Names names;
    std::memset(names, 'x', sizeof names);
    const int32_t count = Kelvra_EnumDevice(handle, names);
    std::vector<std::string> listed;
    for (int32_t entry = 0; entry < KELVRA_ENUM_DEVICE_COUNT; ++entry) {
        if (entry < count) {
            listed.emplace_back(names[entry]);
        } else {
            EXPECT_EQ(names[entry][0], '\0') << "entry " << entry << " after the names is not emptied";
        }
    }
    return listed;
}

TEST_F(SdkTest, WithoutCameraTheHandleStandsButNothingIsListedOrSelected) {
    const int32_t handle = Open();
    EXPECT_TRUE(ListedNames(handle).empty());
    EXPECT_FALSE(HasOpenCamera(handle));
    EXPECT_EQ(Kelvra_SetDeviceNumber(handle, 0), 0);
    char name[32];
    EXPECT_EQ(Kelvra_GetDeviceName(handle, 0, name, sizeof name), 0);
    EXPECT_EQ(Drain(handle), (std::vector<int32_t>{KELVRA_ERR_NO_DEVICE, KELVRA_ERR_NO_DEVICE}));
    EXPECT_EQ(Kelvra_GetStatus(handle), 0);
}

TEST_F(SdkTest, TheOnlyCameraIsSelectedAtInitialisation) {
    Attach();
    const int32_t handle = Open();
    EXPECT_TRUE(HasOpenCamera(handle));
    EXPECT_EQ(ListedNames(handle), (std::vector<std::string>{"Kelvra880HQLN_01"}));
    EXPECT_TRUE(Drain(handle).empty());
}

TEST_F(SdkTest, OfSeveralCamerasNoneIsSelectedUntilAsked) {
    Attach();
    Attach();
    const int32_t handle = Open();
    EXPECT_FALSE(HasOpenCamera(handle));
    EXPECT_EQ(ListedNames(handle), (std::vector<std::string>{"Kelvra880HQLN_01", "Kelvra880HQLN_02"}));
    EXPECT_EQ(Kelvra_SetDeviceNumber(handle, 1), 1);
    EXPECT_TRUE(HasOpenCamera(handle));
    EXPECT_EQ(Kelvra_SetDeviceNumber(handle, 2), 0);
    EXPECT_EQ(Kelvra_SetDeviceNumber(handle, -1), 0);
    EXPECT_EQ(Drain(handle), (std::vector<int32_t>{KELVRA_ERR_NO_DEVICE, KELVRA_ERR_NO_DEVICE}));
}

TEST_F(SdkTest, CamerasOfAnotherModelAreNeitherListedNorSelected) {
    Attach(0x3100);
    const int32_t alone = Open();
    EXPECT_TRUE(ListedNames(alone).empty());
    EXPECT_FALSE(HasOpenCamera(alone));

    Attach(0x3180);
    const int32_t beside = Open();
    EXPECT_TRUE(HasOpenCamera(beside));
    EXPECT_EQ(ListedNames(beside), (std::vector<std::string>{"Kelvra880HQLN_01"}));
}

TEST_F(SdkTest, CamerasBehindAnUnpluggedOneAreStillListedAndSelected) {
    const int first = Attach();
    Attach();
    // The table learns both numbers before the first camera goes.
    const int32_t before = Open();
    ASSERT_EQ(ListedNames(before).size(), 2u);
    ASSERT_EQ(KelvraSim_Unplug(first), 1);

    // Names count the present cameras; GetDeviceName takes the device number.
    EXPECT_EQ(ListedNames(before), (std::vector<std::string>{"Kelvra880HQLN_01"}));
    char name[32] = {};
    EXPECT_EQ(Kelvra_GetDeviceName(before, 0, name, sizeof name), 0);
    EXPECT_EQ(Kelvra_GetLastError(before), KELVRA_ERR_NO_DEVICE);
    EXPECT_EQ(Kelvra_GetDeviceName(before, 1, name, sizeof name), 1);
    EXPECT_STREQ(name, "Kelvra880HQLN_02");

    const int32_t after = Open();
    EXPECT_TRUE(HasOpenCamera(after));
    EXPECT_TRUE(Drain(after).empty());
}

TEST_F(SdkTest, AHandleThatIsNotAWindowIsTakenAsNoWindowAndSaysSo) {
    Attach();
    const int32_t notAWindow = Open(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5EED)));
    EXPECT_TRUE(HasOpenCamera(notAWindow));
    EXPECT_EQ(Drain(notAWindow), (std::vector<int32_t>{KELVRA_ERR_WINDOW}));
    // Nothing is posted anywhere: not to the handle, and not to this thread's queue instead.
    MSG message{};
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_CAMERA_ERROR, WM_CAMERA_ERROR, PM_REMOVE));
}

TEST_F(SdkTest, EnumDeviceFillsTenEntriesHoweverManyCamerasThereAre) {
    for (int camera = 0; camera < 12; ++camera) Attach();
    const int32_t handle = Open();
    char names[KELVRA_ENUM_DEVICE_COUNT + 1][KELVRA_DEVICE_NAME_SIZE];
    std::memset(names, 'x', sizeof names);
    EXPECT_EQ(Kelvra_EnumDevice(handle, names), KELVRA_ENUM_DEVICE_COUNT);
    EXPECT_STREQ(names[9], "Kelvra880HQLN_10");
    for (char byte : names[KELVRA_ENUM_DEVICE_COUNT]) ASSERT_EQ(byte, 'x');

    wchar_t wide[KELVRA_ENUM_DEVICE_COUNT + 1][KELVRA_DEVICE_NAME_SIZE];
    std::wmemset(&wide[0][0], L'x', sizeof wide / sizeof(wchar_t));
    EXPECT_EQ(Kelvra_EnumDeviceW(handle, wide), KELVRA_ENUM_DEVICE_COUNT);
    EXPECT_STREQ(wide[0], L"Kelvra880HQLN_01");
    for (wchar_t character : wide[KELVRA_ENUM_DEVICE_COUNT]) ASSERT_EQ(character, L'x');
}

TEST_F(SdkTest, EnumDeviceWEmptiesTheEntriesAfterTheNames) {
    Attach();
    const int32_t handle = Open();
    wchar_t names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE];
    std::wmemset(&names[0][0], L'x', sizeof names / sizeof(wchar_t));
    EXPECT_EQ(Kelvra_EnumDeviceW(handle, names), 1);
    EXPECT_STREQ(names[0], L"Kelvra880HQLN_01");
    for (int entry = 1; entry < KELVRA_ENUM_DEVICE_COUNT; ++entry) EXPECT_EQ(names[entry][0], L'\0');
}

TEST_F(SdkTest, GetDeviceNameNeverWritesPastTheBufferItIsGiven) {
    Attach();
    const int32_t handle = Open();
    for (int32_t size : {0, 14, 15, 16}) {
        char buffer[32];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(Kelvra_GetDeviceName(handle, 0, buffer, size), 0) << "size " << size;
        EXPECT_EQ(Kelvra_GetLastError(handle), KELVRA_ERR_PARAMETER) << "size " << size;
        for (char byte : buffer) ASSERT_EQ(byte, 'x') << "size " << size;
    }
    char exact[18];
    std::memset(exact, 'x', sizeof exact);
    EXPECT_EQ(Kelvra_GetDeviceName(handle, 0, exact, 17), 1);
    EXPECT_STREQ(exact, "Kelvra880HQLN_01");
    EXPECT_EQ(exact[17], 'x');

    EXPECT_EQ(Kelvra_GetDeviceName(handle, 0, nullptr, 64), 0);
    EXPECT_EQ(Kelvra_GetLastError(handle), KELVRA_ERR_PARAMETER);
    EXPECT_EQ(Kelvra_GetDeviceName(handle, 1, exact, 17), 0);
    EXPECT_EQ(Kelvra_GetLastError(handle), KELVRA_ERR_NO_DEVICE);
}

TEST_F(SdkTest, GetDeviceNameWNeedsRoomForTheWholeName) {
    Attach();
    const int32_t handle = Open();
    wchar_t name[20];
    std::wmemset(name, L'x', 20);
    EXPECT_EQ(Kelvra_GetDeviceNameW(handle, 0, name, 16), 0);
    EXPECT_EQ(Kelvra_GetLastError(handle), KELVRA_ERR_FAILED);
    EXPECT_EQ(name[0], L'x');
    EXPECT_EQ(Kelvra_GetDeviceNameW(handle, 0, name, 17), 1);
    EXPECT_STREQ(name, L"Kelvra880HQLN_01");
    EXPECT_EQ(name[17], L'x');
}

// The record is checked through a larger buffer so that writes past its declared size show.
TEST_F(SdkTest, CameraInfoFillsExactlyTheDeclaredSize) {
    Attach();
    const int32_t handle = Open();
    constexpr unsigned char kUntouched = 0xAB;
    struct Case {
        uint32_t size;
        int32_t result;
        size_t written;
    };
    for (const Case& test : {Case{35, 0, 0}, Case{36, 1, 36}, Case{55, 1, 36}, Case{56, 1, 56}}) {
        alignas(KelvraCameraInfo) unsigned char buffer[64];
        std::memset(buffer, kUntouched, sizeof buffer);
        std::memcpy(buffer, &test.size, sizeof test.size);
        auto* info = reinterpret_cast<KelvraCameraInfo*>(buffer);
        EXPECT_EQ(Kelvra_GetCameraInfo(handle, info), test.result) << "size " << test.size;
        for (size_t offset = test.written > 4 ? test.written : 4; offset < sizeof buffer; ++offset) {
            ASSERT_EQ(buffer[offset], kUntouched) << "size " << test.size << ", byte " << offset;
        }
        if (test.written == 0) {
            EXPECT_EQ(Kelvra_GetLastError(handle), KELVRA_ERR_MEMORY);
            continue;
        }
        EXPECT_EQ(info->sensorWidth, 1280);
        EXPECT_EQ(info->sensorHeight, 1024);
        EXPECT_LT(info->gainMin, info->gainMax);
        EXPECT_LT(info->exposureMin, info->exposureMax);
        // This camera has no millisecond exposure: a 56-byte record gets a zero range.
        if (test.written == 56) {
            EXPECT_EQ(info->exposureMsMax, 0.0);
        }
    }
    EXPECT_EQ(Kelvra_GetCameraInfo(handle, nullptr), 0);
    EXPECT_EQ(Kelvra_GetLastError(handle), KELVRA_ERR_PARAMETER);
}

TEST_F(SdkTest, UnknownHandlesFailQuietly) {
    EXPECT_EQ(Kelvra_GetDllVersion(), 33752352);
    const int32_t handle = Open();
    const int32_t unknown = handle + 1;
    Names names;
    wchar_t wideNames[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE];
    char name[32];
    wchar_t wideName[32];
    KelvraCameraInfo info{};
    info.size = sizeof info;
    EXPECT_EQ(Kelvra_GetLastError(unknown), 0);
    EXPECT_EQ(Kelvra_GetStatus(unknown), 0);
    EXPECT_EQ(Kelvra_SetDeviceNumber(unknown, 0), 0);
    EXPECT_EQ(Kelvra_EnumDevice(unknown, names), 0);
    EXPECT_EQ(Kelvra_EnumDeviceW(unknown, wideNames), 0);
    EXPECT_EQ(Kelvra_GetDeviceName(unknown, 0, name, 3), 0);
    EXPECT_EQ(Kelvra_GetDeviceNameW(unknown, 0, wideName, 3), 0);
    EXPECT_EQ(Kelvra_GetCameraInfo(unknown, nullptr), 0);
    EXPECT_EQ(Kelvra_Release(unknown), 0);
    EXPECT_TRUE(Drain(handle).empty());
}

TEST_F(SdkTest, ReleasingTwiceFailsTheSecondTime) {
    const int32_t handle = Kelvra_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(Kelvra_Release(handle), 1);
    EXPECT_EQ(Kelvra_Release(handle), 0);
    char name[32];
    EXPECT_EQ(Kelvra_GetDeviceName(handle, 0, name, sizeof name), 0);
}

TEST_F(SdkTest, SessionsHaveTheirOwnHandlesAndHistories) {
    const int32_t first = Open();
    const int32_t second = Open();
    EXPECT_NE(first, second);
    EXPECT_EQ(Kelvra_SetDeviceNumber(first, 3), 0);
    EXPECT_EQ(Kelvra_GetLastError(second), 0);
    EXPECT_EQ(Kelvra_Release(first), 1);
    handles.erase(handles.begin());
    EXPECT_EQ(Kelvra_GetLastError(second), 0);
    EXPECT_EQ(Kelvra_SetDeviceNumber(second, 3), 0);
    EXPECT_EQ(Kelvra_GetLastError(second), KELVRA_ERR_NO_DEVICE);
}

}  // namespace
