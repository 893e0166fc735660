// Enumeration passes, row opening and the queries the device core makes over the device table.
#include "UsbTestSupport.h"

namespace usbtest {
namespace {

using UsbEnumerationTest = UsbTest;

TEST_F(UsbEnumerationTest, CamerasAreNumberedPerModelAndKeepRowAndNumberAcrossReplug) {
    const int first = KelvraSim_Attach(0x3180);
    const int other = KelvraSim_Attach(0x3040);
    const int second = KelvraSim_Attach(0x3180);
    CKelvCy3Cam controller;
    ASSERT_EQ(3, controller.EnumerateDevices());
    const int expected[][3] = {{first, 0x3180, 0}, {other, 0x3040, 0}, {second, 0x3180, 1}};
    for (int row = 0; row < 3; ++row) {
        const UsbDeviceEntry entry = controller.DeviceEntry(row);
        EXPECT_EQ(KELVRA_SIM_VENDOR_ID, entry.vendorId);
        EXPECT_EQ(expected[row][1], entry.productId);
        EXPECT_EQ(expected[row][2], entry.deviceNumber);
        EXPECT_EQ(SimPath(expected[row][0]), entry.devicePath);
    }
    EXPECT_EQ(-1, controller.DeviceEntry(3).deviceNumber);
    EXPECT_EQ(2, controller.FindDeviceRow(0x3180, 1));
    EXPECT_EQ(3, controller.CountDevices(0));

    ASSERT_EQ(1, KelvraSim_Unplug(first));
    EXPECT_EQ(1, controller.CountDevices(0x3180));
    EXPECT_FALSE(controller.IsDeviceNumberPresent(0x3180, 0));
    EXPECT_TRUE(controller.IsDeviceNumberPresent(0x3180, 1));
    EXPECT_EQ(0, controller.FindDeviceRow(0x3180, 0));
    EXPECT_EQ(0, controller.SelectDevice(0));

    ASSERT_EQ(1, KelvraSim_Replug(first));
    const int later = KelvraSim_Attach(0x3180);
    EXPECT_EQ(3, controller.CountDevices(0x3180));
    EXPECT_EQ(4, controller.EntryCount());
    EXPECT_EQ(0, RowOf(controller, SimPath(first)));
    EXPECT_EQ(2, controller.DeviceEntry(RowOf(controller, SimPath(later))).deviceNumber);
    EXPECT_TRUE(controller.IsDeviceNumberPresent(0x3180, 0));
    EXPECT_FALSE(controller.IsDeviceNumberPresent(-1, 0));
    EXPECT_EQ(1, controller.SelectDevice(0));
}

TEST_F(UsbEnumerationTest, OnlyInterfacesWhosePathOpensAndFitsARowAreRecorded) {
    auto opens = PlugScripted(0x3180, "A");
    auto locked = PlugScripted(0x3180, "B");
    locked->openable = false;
    auto tooLongForRow = PlugScripted(0x3180, std::string(300, 'x'));
    auto tooLongForDetail = PlugScripted(0x3180, std::string(1200, 'y'));
    auto alsoOpens = PlugScripted(0x3180, "C");
    CKelvCy3Cam controller(&kScriptedClass);

    ASSERT_EQ(2, controller.EnumerateDevices());
    EXPECT_EQ(0, RowOf(controller, opens->Path()));
    EXPECT_EQ(1, RowOf(controller, alsoOpens->Path()));
    EXPECT_EQ(1, controller.DeviceEntry(1).deviceNumber);

    locked->openable = true;
    ASSERT_EQ(3, controller.EnumerateDevices());
    EXPECT_EQ(2, RowOf(controller, locked->Path()));
    EXPECT_EQ(2, controller.DeviceEntry(2).deviceNumber);
}

TEST_F(UsbEnumerationTest, TableHoldsThirtyTwoCameras) {
    std::vector<int> cameras;
    for (int i = 0; i < 32; ++i) cameras.push_back(KelvraSim_Attach(0x3100));
    CKelvCy3Cam controller;
    ASSERT_EQ(32, controller.EnumerateDevices());

    // With one gone, the 33rd camera is among the 32 interfaces looked at, yet finds no row.
    KelvraSim_Unplug(cameras[5]);
    const int late = KelvraSim_Attach(0x3100);
    EXPECT_EQ(32, controller.EnumerateDevices());
    EXPECT_EQ(-1, RowOf(controller, SimPath(late)));
    EXPECT_EQ(31, controller.CountDevices(0x3100));
    EXPECT_EQ(1, controller.SelectDevice(31));
}

TEST_F(UsbEnumerationTest, RowsOutsideTheTableNeverReachTheDriver) {
    auto camera = PlugScripted(0x3180, "A");
    CKelvCy3Cam controller(&kScriptedClass);
    ASSERT_EQ(1, controller.EnumerateDevices());
    camera->openable = false;  // any open attempt would now be visible as a failure of row 0 only
    EXPECT_EQ(nullptr, controller.OpenDeviceRow(1, false));
    EXPECT_EQ(nullptr, controller.OpenDeviceRow(32, false));
    EXPECT_EQ(nullptr, controller.OpenDeviceRow(-1, true));
    camera->openable = true;
    HANDLE device = controller.OpenDeviceRow(0, true);
    ASSERT_NE(nullptr, device);
    CloseHandle(device);
}

TEST_F(UsbEnumerationTest, DeviceNamesComeFromTheModelTable) {
    const int firstModel = KelvraSim_Attach(0x3040);
    for (int i = 0; i < 3; ++i) KelvraSim_Attach(0x3040);
    const int own = KelvraSim_Attach(0x3180);
    KelvraSim_Attach(0x3130);
    CKelvCy3Cam controller;
    ASSERT_EQ(6, controller.EnumerateDevices());

    char name[64] = {};
    ASSERT_EQ(1, controller.FormatDeviceName(3, name, sizeof name));
    const std::string model = name;
    EXPECT_EQ(0u, model.rfind("Kelvra-", 0)) << model;
    EXPECT_EQ(model.size() - 11, model.find("-USB3-G5_03")) << model;
    ASSERT_EQ(1, controller.FormatDeviceName(5, name, sizeof name));
    const std::string converter = name;
    EXPECT_NE(0u, converter.rfind("Kelvra-", 0)) << converter;
    EXPECT_EQ(converter.size() - 3, converter.find("_00")) << converter;

    EXPECT_EQ(0, controller.FormatDeviceName(RowOf(controller, SimPath(own)), name, sizeof name));
    char tiny[8];
    EXPECT_EQ(0, controller.FormatDeviceName(0, tiny, sizeof tiny));
    KelvraSim_Unplug(firstModel);
    EXPECT_EQ(0, controller.FormatDeviceName(0, name, sizeof name));
}

}  // namespace
}  // namespace usbtest
