// Another process of the user makes the shared device table the wrong size, cuts it short while
// this process uses it, or leaves counts in it that no table can hold. This process must keep
// finding and numbering its cameras, and say in the usb log that it stopped sharing the table.
#include "UsbTestSupport.h"
#include "platform_kernel/ChildProcess.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace usbtest {
namespace {

// The usb log must be on before the first message fixes the setting for the process.
const bool kUsbLogOn = [] { return ::setenv("KELVRA_DEBUG", "usb", 1) == 0; }();

constexpr std::size_t kRowBytes = 268;
constexpr std::size_t kEntryCountOffset = 8580;

std::size_t RowAt(int row) { return 4 + kRowBytes * row; }

class SharedTableTamperTest : public UsbTest {
protected:
    void SetUp() override {
        UsbTest::SetUp();
        ASSERT_TRUE(kUsbLogOn);
    }

    // A table name of this test's own, so each case starts from a mapping no one holds.
    static std::string UseTable(const std::string& suffix) {
        const std::string name = IsolatedTableName() + "-" + suffix;
        kelvra::usb::SetSharedTableName(name.c_str());
        return name;
    }

    // Both cameras are found, numbered 0 and 1, by this controller and a later one.
    static void ExpectBothCameras(CKelvCy3Cam& controller, int a, int b) {
        EXPECT_EQ(2, controller.EnumerateDevices());
        EXPECT_EQ(2, controller.CountDevices(0x3180));
        const int rowA = controller.FindDeviceRow(0x3180, 0), rowB = controller.FindDeviceRow(0x3180, 1);
        ASSERT_GE(rowA, 0);
        ASSERT_GE(rowB, 0);
        EXPECT_EQ(SimPath(a), controller.DeviceEntry(rowA).devicePath);
        EXPECT_EQ(SimPath(b), controller.DeviceEntry(rowB).devicePath);
        CKelvCy3Cam later;
        EXPECT_EQ(2, later.CountDevices(0x3180));
        EXPECT_EQ(rowB, later.FindDeviceRow(0x3180, 1));
    }
};

// Smaller: a copy of the whole table would read past the view. Larger: the other program's bytes
// would be overwritten. Either way the table is not used, and the other mapping stays as it was.
TEST_F(SharedTableTamperTest, WrongSizedMappingOfAnotherProcessIsLeftAloneAndCamerasAreStillFound) {
    const int a = KelvraSim_Attach(0x3180);
    const int b = KelvraSim_Attach(0x3180);
    for (const unsigned long size : {100ul, 8584ul - 1, 65536ul}) {
        SCOPED_TRACE(size);
        const std::string name = UseTable(std::to_string(size));
        ChildProcess holder({HelperPath(), "hold", name, std::to_string(size), "a5"});
        ASSERT_EQ("ready", holder.ReadLine());

        testing::internal::CaptureStderr();
        {
            CKelvCy3Cam controller;
            ExpectBothCameras(controller, a, b);
        }
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string::npos, log.find("kelvra usb: shared device table \"" + name + "\"")) << log;
        EXPECT_EQ(log.find("shared device table"), log.rfind("shared device table")) << "said once: " << log;

        holder.CloseInput();
        EXPECT_EQ("intact", holder.ReadLine());
        EXPECT_EQ(0, holder.Wait());
    }
}

// The mapping was the right size when it was mapped; the next write-back finds it cut short
// (entirely, or within the table). Nothing faults, and enumeration goes on in this process.
TEST_F(SharedTableTamperTest, MappingCutShortWhileMappedDoesNotStopEnumeration) {
    for (const long size : {0l, 4096l}) {
        SCOPED_TRACE(size);
        KelvraSim_Reset();
        const std::string name = UseTable("cut" + std::to_string(size));
        const int a = KelvraSim_Attach(0x3180);
        auto first = std::make_unique<CKelvCy3Cam>();
        ASSERT_EQ(1, first->EnumerateDevices());
        EXPECT_EQ(1, TableView(name).Int(kEntryCountOffset)) << "shared before it was cut";

        ChildProcess cutter({HelperPath(), "truncate", name, std::to_string(size)});
        ASSERT_EQ("done", cutter.ReadLine());
        ASSERT_EQ(0, cutter.Wait());

        const int b = KelvraSim_Attach(0x3180);
        testing::internal::CaptureStderr();
        ExpectBothCameras(*first, a, b);
        first.reset();
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string::npos, log.find("\"" + name + "\" was cut short by another process")) << log;
        EXPECT_EQ(log.find("shared device table"), log.rfind("shared device table")) << "said once: " << log;
    }
}

// Counts that no table holds: the instance count saturates instead of overflowing, a negative one
// vouches for no one, and rows with device numbers no table gives are not matched or counted.
TEST_F(SharedTableTamperTest, CountsFromTheMappingAreBoundedBeforeUse) {
    const std::string name = UseTable("counts");
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8584, name.c_str());
    ASSERT_NE(nullptr, mapping);
    auto* bytes = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(nullptr, bytes);
    auto put = [&](std::size_t offset, int32_t value) { std::memcpy(bytes + offset, &value, 4); };
    auto get = [&](std::size_t offset) {
        int32_t value;
        std::memcpy(&value, bytes + offset, 4);
        return value;
    };
    for (int row : {0, 1}) {
        const uint16_t ids[2] = {KELVRA_SIM_VENDOR_ID, 0x3180};
        std::memcpy(bytes + RowAt(row), ids, 4);
        bytes[RowAt(row) + 8] = 'x';
    }
    put(RowAt(0) + 4, INT32_MIN);
    put(RowAt(1) + 4, 40);
    put(kEntryCountOffset, 2);
    put(0, INT32_MAX);

    const int camera = KelvraSim_Attach(0x3180);
    {
        CKelvCy3Cam controller;
        EXPECT_EQ(INT32_MAX, get(0));
        EXPECT_EQ(-1, controller.FindDeviceRow(0x3180, INT32_MIN));
        EXPECT_EQ(-1, controller.FindDeviceRow(0x3180, 40));
        ASSERT_EQ(3, controller.EnumerateDevices());
        EXPECT_EQ(2, controller.FindDeviceRow(0x3180, 0)) << "numbered as the first camera of its model";
        EXPECT_EQ(SimPath(camera), controller.DeviceEntry(2).devicePath);
    }
    EXPECT_EQ(INT32_MAX - 1, get(0));

    put(0, -5);
    {
        CKelvCy3Cam controller;
        EXPECT_EQ(1, get(0));
        EXPECT_EQ(0, controller.EntryCount()) << "rows no live controller vouches for are reset";
        EXPECT_EQ(1, controller.EnumerateDevices());
        EXPECT_EQ(0, controller.FindDeviceRow(0x3180, 0));
    }
    EXPECT_EQ(0, get(0));
    UnmapViewOfFile(bytes);
    CloseHandle(mapping);
}

}  // namespace
}  // namespace usbtest
