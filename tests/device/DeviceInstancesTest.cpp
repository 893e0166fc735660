// Device objects made and destroyed on many threads at once share one class-wide lock safely.
#include "device/CKelvraUSB3G5SimpleSdk.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(DeviceInstances, ClassWideLockFollowsTheInstancesAcrossThreads) {
    ASSERT_EQ(CKelvraU3G5Base::InstanceCount(), 0);
    {
        CKelvraUSB3G5SimpleSdk keeper;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([] {
                for (int i = 0; i < 25; ++i) {
                    CKelvraUSB3G5SimpleSdk device;
                    EXPECT_GE(CKelvraU3G5Base::InstanceCount(), 2);
                    EXPECT_EQ(device.CreateController(nullptr, nullptr), 1);
                    device.SetProductId(0x7FFF);  // a model no camera here has: the open fails
                    EXPECT_EQ(device.OpenDevice(0), 0);
                }
            });
        }
        for (auto& thread : threads) thread.join();
        EXPECT_EQ(CKelvraU3G5Base::InstanceCount(), 1);
    }
    EXPECT_EQ(CKelvraU3G5Base::InstanceCount(), 0);
}

}  // namespace
