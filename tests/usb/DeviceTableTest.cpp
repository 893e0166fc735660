// The device table shared between processes: its bytes in the mapping, the instance count, and
// the reset once every controller is gone.
#include "UsbTestSupport.h"

#include <cstdio>
#include <cstring>

namespace usbtest {
namespace {

constexpr std::size_t kRowBytes = 268;
constexpr std::size_t kEntryCountOffset = 8580;

std::size_t RowAt(int row) { return 4 + kRowBytes * row; }

using UsbDeviceTableTest = UsbTest;

TEST_F(UsbDeviceTableTest, RowsLieAtTheirOffsetsAndLiveAsLongAsAController) {
    ASSERT_FALSE(TableView(IsolatedTableName()).Exists());
    const int a = KelvraSim_Attach(0x3180);
    const int b = KelvraSim_Attach(0x3040);
    {
        auto first = std::make_unique<CKelvCy3Cam>();
        TableView view(IsolatedTableName());
        ASSERT_TRUE(view.Exists());
        EXPECT_EQ(1, view.Int(0));
        EXPECT_EQ(0, view.Int(kEntryCountOffset));
        EXPECT_EQ(-1, view.Int(RowAt(31) + 4));

        ASSERT_EQ(2, first->EnumerateDevices());
        EXPECT_EQ(2, view.Int(kEntryCountOffset));
        EXPECT_EQ(KELVRA_SIM_VENDOR_ID, view.Word(RowAt(1)));
        EXPECT_EQ(0x3040, view.Word(RowAt(1) + 2));
        EXPECT_EQ(0, view.Int(RowAt(1) + 4));
        EXPECT_EQ(SimPath(a), view.Path(0));
        EXPECT_EQ(SimPath(b), view.Path(1));
        EXPECT_EQ("", view.Path(2));

        auto second = std::make_unique<CKelvCy3Cam>();
        EXPECT_EQ(2, view.Int(0));
        EXPECT_EQ(2, second->EntryCount());
        second.reset();
        EXPECT_EQ(1, view.Int(0));
    }
    EXPECT_FALSE(TableView(IsolatedTableName()).Exists());

    // A fresh table: numbers start again from 0.
    KelvraSim_Unplug(a);
    CKelvCy3Cam controller;
    EXPECT_EQ(0, controller.EntryCount());
    ASSERT_EQ(1, controller.EnumerateDevices());
    EXPECT_EQ(SimPath(b), controller.DeviceEntry(0).devicePath);
}

// The helper prints what it found before it attached, while attached, and after it detached.
TEST_F(UsbDeviceTableTest, SecondProcessSeesTheRowsAndCountsItself) {
    const int camera = KelvraSim_Attach(0x3180);
    CKelvCy3Cam controller;
    ASSERT_EQ(1, controller.EnumerateDevices());

    FILE* peer = popen((std::string(USB_TABLE_PEER) + " " + IsolatedTableName()).c_str(), "r");
    ASSERT_NE(nullptr, peer);
    int before = -1, entries = -1, attached = -1, after = -1;
    char path[300] = {};
    const int fields = std::fscanf(peer, "before=%d entries=%d path=%299s attached=%d after=%d", &before, &entries,
                                   path, &attached, &after);
    EXPECT_EQ(0, pclose(peer));
    ASSERT_EQ(5, fields);
    EXPECT_EQ(1, before);
    EXPECT_EQ(1, entries);
    EXPECT_EQ(SimPath(camera), path);
    EXPECT_EQ(2, attached);
    EXPECT_EQ(1, after);
    EXPECT_EQ(1, TableView(IsolatedTableName()).Int(0));
}

// Whatever another process left in the mapping, no row is read past its end.
TEST_F(UsbDeviceTableTest, DamagedTableFromAnotherProcessIsReadSafely) {
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8584, IsolatedTableName().c_str());
    ASSERT_NE(nullptr, mapping);
    auto* bytes = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(nullptr, bytes);
    const int32_t liveElsewhere = 1, damagedCount = 1000;
    std::memcpy(bytes, &liveElsewhere, 4);
    bytes[RowAt(0) + 2] = 0x80;  // product id 0x3180
    bytes[RowAt(0) + 3] = 0x31;
    std::memset(bytes + RowAt(0) + 8, 'x', 260);  // no terminator
    std::memcpy(bytes + kEntryCountOffset, &damagedCount, 4);

    KelvraSim_Attach(0x3180);
    {
        CKelvCy3Cam controller;
        EXPECT_EQ(1000, controller.EnumerateDevices());  // no row to fill: nothing recorded
        EXPECT_EQ(259u, std::strlen(controller.DeviceEntry(0).devicePath));
        EXPECT_FALSE(controller.IsDeviceRowPresent(0));
        EXPECT_EQ(0, controller.CountDevices(0x3180));
        int32_t instances = 0;
        std::memcpy(&instances, bytes, 4);
        EXPECT_EQ(2, instances);
    }
    UnmapViewOfFile(bytes);
    CloseHandle(mapping);
}

TEST_F(UsbDeviceTableTest, ProductBuildUsesTheSystemWideTable) {
    kelvra::usb::SetSharedTableName(nullptr);
    {
        CKelvCy3Cam controller;
        // Other processes of the user may hold it as well: only its presence is certain.
        EXPECT_TRUE(TableView("U3G5-MemMap").Exists());
    }
    kelvra::usb::SetSharedTableName(IsolatedTableName().c_str());
}

}  // namespace
}  // namespace usbtest
