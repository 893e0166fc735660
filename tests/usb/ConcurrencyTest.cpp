// Controllers used from several threads at once.
#include "UsbTestSupport.h"

#include <set>
#include <thread>

namespace usbtest {
namespace {

namespace sim = kelvra::sim;
using UsbConcurrencyTest = UsbTest;

TEST_F(UsbConcurrencyTest, ConcurrentEnumerationsRecordEveryCameraOnce) {
    for (int i = 0; i < 8; ++i) KelvraSim_Attach(0x3180);
    std::vector<std::unique_ptr<CKelvCy3Cam>> controllers;
    for (int i = 0; i < 4; ++i) controllers.push_back(std::make_unique<CKelvCy3Cam>());
    std::vector<std::thread> threads;
    for (auto& controller : controllers)
        threads.emplace_back([&controller] {
            for (int pass = 0; pass < 5; ++pass) controller->CountDevices(0x3180);
        });
    for (auto& thread : threads) thread.join();

    ASSERT_EQ(8, controllers[0]->EntryCount());
    std::set<std::string> paths;
    std::set<int> numbers;
    for (int row = 0; row < 8; ++row) {
        paths.insert(controllers[0]->DeviceEntry(row).devicePath);
        numbers.insert(controllers[0]->DeviceEntry(row).deviceNumber);
    }
    EXPECT_EQ(8u, paths.size());
    EXPECT_EQ((std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}), numbers);
}

TEST_F(UsbConcurrencyTest, FpgaReadIsNeverSplitByAnotherThread) {
    const int camera = KelvraSim_Attach(0x3180);
    auto controller = Opened(SimPath(camera));
    sim::ClearLogs(camera);
    std::thread writer([&] {
        for (int i = 0; i < 50; ++i)
            static_cast<void>(controller->WriteFpgaRegister(0x20, uint8_t(i)));  // the bus log is checked
    });
    uint8_t value;
    for (int i = 0; i < 50; ++i)
        static_cast<void>(controller->ReadFpgaRegister(0x08, &value));  // the bus log is checked
    writer.join();

    // Every register select (a one-byte FPGA write) is followed at once by its read.
    const std::vector<sim::I2cRecord> log = sim::I2cLog(camera);
    int reads = 0;
    for (std::size_t i = 0; i + 1 < log.size(); ++i)
        if (!log[i].read && log[i].bytes.size() == 1) {
            EXPECT_TRUE(log[i + 1].read);
            ++reads;
        }
    EXPECT_EQ(50, reads);
}

TEST_F(UsbConcurrencyTest, AbortedTransferIsAwaitedUntilTheDriverFinishesIt) {
    auto camera = PlugScripted(0x3180, "A");
    auto controller = Opened(camera->Path(), &kScriptedClass);
    // The driver completes the aborted request from its own thread, after the grace period.
    camera->SetAbortBehaviour(false, 120);
    camera->ScriptTransfer({TransferScript::kPend, 0, 0});
    std::vector<uint8_t> buffer(64);
    uint32_t count = 0;
    EXPECT_EQ(0, controller->TransferDirectTimed(controller->StreamHandle(), buffer.data(), 64, 0x81, &count, 20));
    EXPECT_EQ(1, camera->Aborted());
    EXPECT_EQ(0, camera->Pending());
}

}  // namespace
}  // namespace usbtest
