// Every product id opens the driver class the product table names, with its bus address and
// model variant.
#include "SimulatedDevice.h"
#include "sensors/FamilySensors.h"
#include "sensors/Sensor880HQLN.h"

#include <typeindex>
#include <vector>

namespace {

struct Expected {
    unsigned short productId;
    std::type_index sensorClass;
    uint8_t serialAddress;
    int32_t variant;
};

const std::vector<Expected>& ProductTable() {
    static const std::vector<Expected> table = {
        {0x3030, typeid(CSensorMT9P001), 0x90, 0},
        {0x3040, typeid(CSensorMT9J001), 0x20, 0},
        {0x3042, typeid(CSensorMT9J001), 0x20, 0},
        {0x3050, typeid(CSensorICX274), 0x00, 0},
        {0x3090, typeid(CSensorP3090), 0x00, 0},
        {0x30B0, typeid(CSensorP30B0), 0x00, 0},
        {0x30C0, typeid(CSensorP30C0), 0x00, 0},
        {0x30F0, typeid(CSensorIMX178), 0x48, 0},
        {0x3100, typeid(CSensorIMX174), 0x48, 0},
        {0x3110, typeid(CSensorIMX183), 0x48, 0},
        {0x3120, typeid(CSensorIMX159), 0x48, 0},
        {0x3130, typeid(CSensorP3130), 0x42, 0},
        {0x3140, typeid(CSensorP3140), 0x6C, 0},
        {0x3150, typeid(CSensorP3150), 0x6C, 0},
        {0x3170, typeid(CSensorP3170), 0x6C, 0},
        {0x3180, typeid(CSensor880HQLN), 0x48, 100},
        {0x3190, typeid(CSensorP3190), 0x20, 0},
        {0x31A0, typeid(CSensorP31A0), 0x20, 0},
        {0x31B0, typeid(CSensorIMX250), 0x48, 59},
        {0x31B4, typeid(CSensorIMX264), 0x48, 57},
        {0x31C0, typeid(CSensorIMX252), 0x48, 56},
        {0x31C4, typeid(CSensorIMX265), 0x48, 58},
        {0x31D0, typeid(CSensorP31D0), 0x20, 0},
        {0x31E0, typeid(CSensorP31E0), 0x6C, 103},
        {0x31F0, typeid(CSensorIMX226), 0x48, 60},
        {0x3200, typeid(CSensorP3200), 0x48, 0},
        {0x3210, typeid(CSensorP3210), 0x20, 0},
        {0x3220, typeid(CSensorG1467x), 0x6C, 105},
        {0x3260, typeid(CSensorIMX990), 0x48, 109},
        {0x3270, typeid(CSensorIMX990), 0x48, 110},
        {0x3280, typeid(CSensorIMX991), 0x48, 111},
        {0x3290, typeid(CSensorIMX991), 0x48, 112},
        {0x32A0, typeid(CSensorIMX250), 0x48, 113},
        {0x32B0, typeid(CSensorLI7050), 0x48, 61},
        {0x32C0, typeid(CSensorGLUX9701), 0x48, 114},
        {0x32D0, typeid(CSensorP32D0), 0x6C, 0},
        {0x32E0, typeid(CSensorIMX536), 0x48, 62},
        {0x32F0, typeid(CSensorIMX487), 0x48, 63},
        {0x3300, typeid(CSensorIMX273), 0x48, 128},
        // Ids the table does not list, also between listed ones.
        {0x3010, typeid(CSensorMT9F001), 0x20, 0},
        {0x3145, typeid(CSensorMT9F001), 0x20, 0},
        {0x3310, typeid(CSensorMT9F001), 0x20, 0},
    };
    return table;
}

using ProductSelection = SimulatedDevice;

TEST_F(ProductSelection, EveryProductIdOpensTheClassOfTheTable) {
    for (const Expected& row : ProductTable()) {
        SCOPED_TRACE(::testing::Message() << "product 0x" << std::hex << row.productId);
        device.reset();
        KelvraSim_Reset();
        device = std::make_unique<CKelvraUSB3G5SimpleSdk>();
        ASSERT_EQ(device->CreateController(nullptr, nullptr), 1);
        const int camera = Attach(row.productId);
        kelvra::sim::SetReadyState(camera, 1);
        Open(camera, row.productId);
        ASSERT_NE(device->Sensor(), nullptr);
        CSensorBase& sensor = *device->Sensor();
        EXPECT_EQ(std::type_index(typeid(sensor)), row.sensorClass);
        EXPECT_EQ(sensor.SerialAddress(), row.serialAddress);
        EXPECT_EQ(sensor.Variant(), row.variant);
        EXPECT_EQ(sensor.Controller(), static_cast<CControllerBase*>(device->Controller()));
    }
}

TEST_F(ProductSelection, ChipVersionDecidesBetweenTheTwoMT9FDrivers) {
    const int camera = Attach(0x3020);
    ASSERT_TRUE(kelvra::sim::SetChipVersion(camera, 302));
    Open(camera, 0x3020);
    EXPECT_NE(dynamic_cast<CSensorMT9F002*>(device->Sensor()), nullptr);

    ASSERT_TRUE(kelvra::sim::SetChipVersion(camera, 301));
    // The generic board never reports ready, so the reopen answers failure; the driver is what counts.
    static_cast<void>(device->ReopenDevice(static_cast<uint32_t>(DeviceNumberOf(camera))));
    EXPECT_NE(dynamic_cast<CSensorMT9F001*>(device->Sensor()), nullptr);
}

TEST_F(ProductSelection, OpeningAnotherModelReplacesTheDriver) {
    const int first = Attach(0x3180);
    const int second = Attach(0x3140);
    ASSERT_EQ(Open(first, 0x3180), 1);
    Open(second, 0x3140);
    EXPECT_NE(dynamic_cast<CSensorP3140*>(device->Sensor()), nullptr);
}

}  // namespace
