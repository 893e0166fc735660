// The device table shared between processes: its byte layout in the mapping, the instance count,
// and the reset once every controller is gone.
#include "UsbTestSupport.h"

#include <cstdio>

#ifndef USB_TABLE_PEER
#error "USB_TABLE_PEER names the helper that attaches from a second process"
#endif

namespace usbtest {
namespace {

constexpr std::size_t kRowsOffset = 4;
constexpr std::size_t kRowBytes = 268;
constexpr std::size_t kEntryCountOffset = 8580;

using DeviceTableTest = UsbTest;

TEST_F(DeviceTableTest, FirstControllerCreatesAnEmptyTableAndTheLastDiscardsIt)
{
    ASSERT_FALSE(TableView(IsolatedTableName()).Exists());
    auto camera = Plug(0x3180, "A");
    {
        auto first = MakeController();
        TableView view(IsolatedTableName());
        ASSERT_TRUE(view.Exists());
        EXPECT_EQ(1, view.Int(0));
        EXPECT_EQ(0, view.Int(kEntryCountOffset));
        for (int row = 0; row < 32; ++row) {
            EXPECT_EQ(-1, view.Int(kRowsOffset + kRowBytes * row + 4));
            EXPECT_EQ("", view.Path(row));
        }
        ASSERT_EQ(1, first->EnumerateDevices());

        auto second = MakeController();
        EXPECT_EQ(2, view.Int(0));
        EXPECT_EQ(1, second->EntryCount());  // it took the rows over from the mapping
        second.reset();
        EXPECT_EQ(1, view.Int(0));
        EXPECT_EQ(1, view.Int(kEntryCountOffset));
    }
    EXPECT_FALSE(TableView(IsolatedTableName()).Exists());

    // Numbers start again from 0 in a fresh table.
    auto other = Plug(0x3180, "B");
    camera->Unplug();
    auto controller = MakeController();
    EXPECT_EQ(0, controller->EntryCount());
    ASSERT_EQ(1, controller->EnumerateDevices());
    EXPECT_EQ(other->Path(), controller->DeviceEntry(0).devicePath);
    EXPECT_EQ(0, controller->DeviceEntry(0).deviceNumber);
}

TEST_F(DeviceTableTest, EnumerationWritesTheRowsAtTheirOffsets)
{
    auto a = Plug(0x3180, "A");
    auto b = Plug(0x3040, "B");
    auto c = Plug(0x3180, "C");
    auto controller = MakeController();
    ASSERT_EQ(3, controller->EnumerateDevices());

    TableView view(IsolatedTableName());
    ASSERT_TRUE(view.Exists());
    EXPECT_EQ(3, view.Int(kEntryCountOffset));
    const std::shared_ptr<ScriptedCamera> cameras[] = {a, b, c};
    const uint16_t products[] = {0x3180, 0x3040, 0x3180};
    const int numbers[] = {0, 0, 1};
    for (int row = 0; row < 3; ++row) {
        const std::size_t at = kRowsOffset + kRowBytes * row;
        EXPECT_EQ(kTestVendor, view.Word(at));
        EXPECT_EQ(products[row], view.Word(at + 2));
        EXPECT_EQ(numbers[row], view.Int(at + 4));
        EXPECT_EQ(cameras[row]->Path(), view.Path(row));
    }
    EXPECT_EQ(-1, view.Int(kRowsOffset + kRowBytes * 3 + 4));
}

// The helper prints what it saw before it attached, while attached and after it detached.
TEST_F(DeviceTableTest, SecondProcessSeesTheRowsAndCountsItself)
{
    auto camera = Plug(0x3180, "A");
    auto controller = MakeController();
    ASSERT_EQ(1, controller->EnumerateDevices());

    const std::string command = std::string(USB_TABLE_PEER) + " " + IsolatedTableName();
    FILE* peer = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, peer);
    int before = -1, entries = -1, attached = -1, after = -1;
    char path[300] = {};
    const int fields = std::fscanf(peer, "before=%d entries=%d path=%299s attached=%d after=%d", &before, &entries,
                                   path, &attached, &after);
    EXPECT_EQ(0, pclose(peer));
    ASSERT_EQ(5, fields);
    EXPECT_EQ(1, before);
    EXPECT_EQ(1, entries);
    EXPECT_EQ(camera->Path(), path);
    EXPECT_EQ(2, attached);
    EXPECT_EQ(1, after);
    EXPECT_EQ(1, TableView(IsolatedTableName()).Int(0));
}

TEST_F(DeviceTableTest, DefaultTableIsTheSystemWideOne)
{
    kelvra::usb::SetSharedTableName(nullptr);
    {
        auto controller = MakeController();
        // Other processes of the user may hold it too, so only its presence is certain.
        EXPECT_TRUE(TableView("U3G5-MemMap").Exists());
    }
    kelvra::usb::SetSharedTableName(IsolatedTableName().c_str());
}

}  // namespace
}  // namespace usbtest
