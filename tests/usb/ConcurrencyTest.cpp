// Controllers used from several threads at once.
#include "UsbTestSupport.h"

#include <set>
#include <thread>

namespace usbtest {
namespace {

using ConcurrencyTest = UsbTest;

TEST_F(ConcurrencyTest, ConcurrentEnumerationsRecordEveryCameraOnce)
{
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(Plug(0x3180, "T" + std::to_string(i)));
    std::vector<std::unique_ptr<CKelvCy3Cam>> controllers;
    for (int i = 0; i < 4; ++i)
        controllers.push_back(MakeController());

    std::vector<std::thread> threads;
    for (auto& controller : controllers)
        threads.emplace_back([&controller] {
            for (int pass = 0; pass < 5; ++pass) {
                controller->EnumerateDevices();
                controller->CountDevices(0x3180);
            }
        });
    for (auto& thread : threads)
        thread.join();

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

TEST_F(ConcurrencyTest, FpgaReadsDoNotInterleaveWithWritesOfOtherThreads)
{
    auto camera = Plug(0x3180, "A");
    auto controller = OpenedController(camera);
    std::thread writer([&] {
        for (int i = 0; i < 50; ++i)
            controller->WriteFpgaRegister(0x20, uint8_t(i));
    });
    std::thread reader([&] {
        uint8_t value;
        for (int i = 0; i < 50; ++i)
            controller->ReadFpgaRegister(0x08, &value);
    });
    writer.join();
    reader.join();

    // Every register select (a one-byte write to the FPGA) is followed at once by its read.
    const std::vector<ControlCall> calls = camera->Controls();
    int reads = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].request == 0x30 && calls[i].index == 0x40 && calls[i].value == 1) {
            ASSERT_LT(i + 1, calls.size());
            EXPECT_EQ(0x31, calls[i + 1].request);
            ++reads;
        }
    }
    EXPECT_EQ(50, reads);
}

TEST_F(ConcurrencyTest, AbortedTransferEndsWhenTheDriverFinishesItLater)
{
    auto camera = Plug(0x3180, "A");
    auto controller = OpenedController(camera);
    ASSERT_EQ(1, controller->OpenStream());
    // The driver completes the aborted request from its own thread, after the grace period.
    camera->SetAbortLatencyMs(120);
    camera->ScriptTransfer({TransferScript::kPend, 0, 0});
    std::vector<uint8_t> buffer(64);
    uint32_t count = 0;
    EXPECT_EQ(0, controller->TransferDirectTimed(controller->StreamHandle(), buffer.data(), 64, 0x81, &count, 20));
    EXPECT_EQ(1, camera->Aborted());
    EXPECT_EQ(0, camera->Pending());
}

}  // namespace
}  // namespace usbtest
