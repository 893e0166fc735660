// Enumeration passes, row opening and the device-core queries over the device table.
#include "UsbTestSupport.h"

#include <set>

namespace usbtest {
namespace {

using EnumerationTest = UsbTest;

TEST_F(EnumerationTest, NumbersCamerasPerModelInTheOrderTheyAreRecorded)
{
    auto first = Plug(0x3180, "A");
    auto other = Plug(0x3040, "B");
    auto second = Plug(0x3180, "C");
    auto controller = MakeController();

    ASSERT_EQ(3, controller->EnumerateDevices());
    const UsbDeviceEntry row0 = controller->DeviceEntry(0);
    EXPECT_EQ(kTestVendor, row0.vendorId);
    EXPECT_EQ(0x3180, row0.productId);
    EXPECT_EQ(0, row0.deviceNumber);
    EXPECT_EQ(first->Path(), row0.devicePath);
    EXPECT_EQ(0x3040, controller->DeviceEntry(1).productId);
    EXPECT_EQ(0, controller->DeviceEntry(1).deviceNumber);
    EXPECT_EQ(1, controller->DeviceEntry(2).deviceNumber);
    EXPECT_EQ(-1, controller->DeviceEntry(3).deviceNumber);  // an empty row

    // A camera plugged in later takes the next row and the next number of its model; known ones
    // are not recorded again.
    auto third = Plug(0x3180, "D");
    EXPECT_EQ(4, controller->EnumerateDevices());
    EXPECT_EQ(2, controller->DeviceEntry(3).deviceNumber);
    EXPECT_EQ(4, controller->EnumerateDevices());

    EXPECT_EQ(3, controller->CountDevices(0x3180));
    EXPECT_EQ(1, controller->CountDevices(0x3040));
    EXPECT_EQ(0, controller->CountDevices(0x3100));
    EXPECT_EQ(4, controller->CountDevices(0));
    EXPECT_EQ(2, controller->FindDeviceRow(0x3180, 1));
    EXPECT_EQ(-1, controller->FindDeviceRow(0x3180, 3));
    EXPECT_TRUE(controller->IsDeviceNumberPresent(0x3180, 2));
    EXPECT_FALSE(controller->IsDeviceNumberPresent(-1, 0));
}

TEST_F(EnumerationTest, UnpluggedCameraKeepsItsRowAndNumberUntilItReturns)
{
    auto first = Plug(0x3180, "A");
    auto second = Plug(0x3180, "B");
    auto controller = MakeController();
    ASSERT_EQ(2, controller->EnumerateDevices());

    first->Unplug();
    EXPECT_EQ(1, controller->CountDevices(0x3180));
    EXPECT_EQ(2, controller->EntryCount());
    EXPECT_FALSE(controller->IsDeviceNumberPresent(0x3180, 0));
    EXPECT_TRUE(controller->IsDeviceNumberPresent(0x3180, 1));
    EXPECT_FALSE(controller->IsDeviceRowPresent(0));
    EXPECT_EQ(0, controller->FindDeviceRow(0x3180, 0));  // the row stays
    EXPECT_EQ(0, controller->SelectDevice(0));

    auto back = ScriptedCamera::PlugAt(first->Path());
    ASSERT_TRUE(back);
    cameras_.push_back(back);
    EXPECT_EQ(2, controller->CountDevices(0x3180));
    EXPECT_EQ(2, controller->EntryCount());
    EXPECT_EQ(0, controller->DeviceEntry(0).deviceNumber);
    EXPECT_TRUE(controller->IsDeviceNumberPresent(0x3180, 0));
    EXPECT_EQ(1, controller->SelectDevice(0));
}

TEST_F(EnumerationTest, InterfaceThatDoesNotOpenIsNeverRecorded)
{
    auto opens = Plug(0x3180, "A");
    auto locked = Plug(0x3180, "B");
    locked->SetOpenable(false);
    auto alsoOpens = Plug(0x3180, "C");
    auto controller = MakeController();

    ASSERT_EQ(2, controller->EnumerateDevices());
    EXPECT_EQ(opens->Path(), controller->DeviceEntry(0).devicePath);
    EXPECT_EQ(alsoOpens->Path(), controller->DeviceEntry(1).devicePath);
    EXPECT_EQ(1, controller->DeviceEntry(1).deviceNumber);

    locked->SetOpenable(true);
    ASSERT_EQ(3, controller->EnumerateDevices());
    EXPECT_EQ(locked->Path(), controller->DeviceEntry(2).devicePath);
    EXPECT_EQ(2, controller->DeviceEntry(2).deviceNumber);
}

TEST_F(EnumerationTest, PathsThatDoNotFitARowAreSkipped)
{
    const std::string prefix = "\\\\?\\usb#vid_7e57&pid_3180#";
    auto tooLongForRow = ScriptedCamera::PlugAt(prefix + std::string(300, 'x'));
    auto tooLongForDetail = ScriptedCamera::PlugAt(prefix + std::string(1200, 'y'));
    ASSERT_TRUE(tooLongForRow && tooLongForDetail);
    cameras_.push_back(tooLongForRow);
    cameras_.push_back(tooLongForDetail);
    auto fits = Plug(0x3180, "A");
    auto controller = MakeController();

    ASSERT_EQ(1, controller->EnumerateDevices());
    EXPECT_EQ(fits->Path(), controller->DeviceEntry(0).devicePath);
    EXPECT_EQ(0, controller->DeviceEntry(0).deviceNumber);
}

TEST_F(EnumerationTest, TableIsFullAtThirtyTwoCameras)
{
    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(Plug(0x3100, "N" + std::to_string(i)));
    auto controller = MakeController();
    ASSERT_EQ(32, controller->EnumerateDevices());
    EXPECT_EQ(31, controller->DeviceEntry(31).deviceNumber);

    // With one gone, the 33rd distinct camera is among the 32 interfaces looked at, yet has no row.
    cameras_[5]->Unplug();
    auto late = Plug(0x3100, "late");
    EXPECT_EQ(32, controller->EnumerateDevices());
    std::set<std::string> recorded;
    for (int row = 0; row < 32; ++row)
        recorded.insert(controller->DeviceEntry(row).devicePath);
    EXPECT_EQ(0u, recorded.count(late->Path()));
    EXPECT_EQ(31, controller->CountDevices(0x3100));
    EXPECT_TRUE(controller->IsDeviceRowPresent(31));
    EXPECT_EQ(1, controller->SelectDevice(31));
}

TEST_F(EnumerationTest, RowsOutsideTheTableNeverReachTheSystem)
{
    auto camera = Plug(0x3180, "A");
    auto controller = MakeController();
    ASSERT_EQ(1, controller->EnumerateDevices());
    const int opensAfterPass = camera->Opens();

    EXPECT_EQ(nullptr, controller->OpenDeviceRow(1, false));  // equal to entryCount
    EXPECT_EQ(nullptr, controller->OpenDeviceRow(32, false));
    EXPECT_EQ(nullptr, controller->OpenDeviceRow(-1, true));
    EXPECT_EQ(opensAfterPass, camera->Opens());

    HANDLE device = controller->OpenDeviceRow(0, true);
    ASSERT_NE(nullptr, device);
    CloseHandle(device);
}

TEST_F(EnumerationTest, DeviceNamesComeFromTheModelTable)
{
    for (int i = 0; i < 4; ++i)
        Plug(0x3040, "M" + std::to_string(i));
    Plug(0x3180, "own");
    Plug(0x3130, "conv");
    auto controller = MakeController();
    ASSERT_EQ(6, controller->EnumerateDevices());

    char name[64] = {};
    ASSERT_EQ(1, controller->FormatDeviceName(3, name, sizeof name));
    const std::string text = name;
    EXPECT_EQ(0u, text.rfind("Kelvra-", 0)) << text;
    EXPECT_EQ(text.size() - 11, text.find("-USB3-G5_03")) << text;

    EXPECT_EQ(0, controller->FormatDeviceName(4, name, sizeof name));  // this library's own camera

    ASSERT_EQ(1, controller->FormatDeviceName(5, name, sizeof name));
    const std::string converter = name;
    EXPECT_NE(0u, converter.rfind("Kelvra-", 0)) << converter;
    EXPECT_EQ(converter.size() - 3, converter.find("_00")) << converter;

    char tiny[8];
    EXPECT_EQ(0, controller->FormatDeviceName(0, tiny, sizeof tiny));
    cameras_[0]->Unplug();
    EXPECT_EQ(0, controller->FormatDeviceName(0, name, sizeof name));
}

}  // namespace
}  // namespace usbtest
