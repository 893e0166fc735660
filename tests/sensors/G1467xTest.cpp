// The cooled G1467x head: the thermistor conversion both ways, and the register sequences of the
// cooler's target and of the measured temperature on a simulated camera.
#include "device/SimulatedDevice.h"

#include "sensors/models/SensorG1467x.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

using Writes = std::vector<std::pair<int, int>>;

TEST(G1467xThermistor, TwentyFiveDegreesIsRaw505AndConvertsBackWithinTheTruncation) {
    EXPECT_EQ(thermistor::RawOfDegrees(25), 505);  // 9994.24 / (10 + 9.76), truncated
    const auto degrees = thermistor::DegreesOfRaw(505);
    ASSERT_TRUE(degrees.has_value());
    EXPECT_NEAR(*degrees, 24.93, 0.01);

    // Cooler targets across the head's range survive the trip within one converter step.
    for (int target = -40; target <= 40; target += 5) {
        const auto raw = thermistor::RawOfDegrees(target);
        ASSERT_TRUE(raw.has_value()) << target;
        const auto back = thermistor::DegreesOfRaw(*raw);
        ASSERT_TRUE(back.has_value()) << target;
        EXPECT_LE(*back, target) << "truncation only lowers the raw value";
        EXPECT_GT(*back, target - 1.5) << target;
        EXPECT_GT(*thermistor::DegreesOfRaw(*raw + 1u), target) << target;
    }
}

TEST(G1467xThermistor, RawValuesWithoutAFiniteTemperatureFail) {
    // 0 divides by zero; from 1024 on the thermistor's resistance would not be positive.
    for (uint32_t raw : {0u, 1024u, 1025u, 0xFFFFu}) EXPECT_FALSE(thermistor::DegreesOfRaw(raw).has_value()) << raw;
    EXPECT_TRUE(thermistor::DegreesOfRaw(1023).has_value());
    EXPECT_TRUE(thermistor::DegreesOfRaw(1).has_value());
    EXPECT_FALSE(thermistor::RawOfDegrees(-273.15).has_value());
    EXPECT_FALSE(thermistor::RawOfDegrees(std::nan("")).has_value());
}

class G1467xHead : public SimulatedDevice {
protected:
    void SetUp() override {
        SimulatedDevice::SetUp();
        camera = Attach(0x3220);
        ASSERT_EQ(Open(camera, 0x3220), 1);
        sensor = device->Sensor();
        kelvra::sim::ClearLogs(camera);
    }

    Writes HeadWrites() const {
        Writes writes;
        for (const auto& write : kelvra::sim::HeadRegisterLog(camera)) writes.emplace_back(write.reg, write.value);
        return writes;
    }

    int camera = 0;
    CSensorBase* sensor = nullptr;
};

TEST_F(G1467xHead, TargetTemperatureNeedsARunningCooler) {
    EXPECT_EQ(device->TargetTemperatureAvailable(), 1);
    EXPECT_EQ(device->HasPeltier(), 1);
    int32_t degrees = 0;
    EXPECT_EQ(device->SetTargetTemperature(25), 0);
    EXPECT_EQ(device->GetTargetTemperature(&degrees), 0);
    EXPECT_TRUE(HeadWrites().empty());

    ASSERT_EQ(device->SetPeltier(1), 1);
    EXPECT_EQ(device->GetPeltier(), 1);
    EXPECT_EQ(HeadWrites(), (Writes{{0x40, 1}}));
}

TEST_F(G1467xHead, TargetIsWrittenAsRawBytesAndReadBackThroughTheFetchSequence) {
    ASSERT_EQ(device->SetPeltier(1), 1);
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->SetTargetTemperature(25), 1);
    // 505 = 0x1F9: low byte to 80, high byte to 83, then the load sequence.
    EXPECT_EQ(HeadWrites(), (Writes{{80, 0xF9}, {83, 0x01}, {84, 0}, {82, 0}, {82, 1}}));

    kelvra::sim::ClearLogs(camera);
    int32_t degrees = 0;
    ASSERT_EQ(device->GetTargetTemperature(&degrees), 1);
    EXPECT_EQ(HeadWrites(), (Writes{{84, 2}, {82, 0}, {82, 2}}));
    EXPECT_EQ(degrees, 24);  // raw 505 is 24.93 degrees, truncated

    ASSERT_EQ(device->SetTargetTemperature(-20), 1);
    ASSERT_EQ(device->GetTargetTemperature(&degrees), 1);
    EXPECT_EQ(degrees, -20);  // raw 86 is -20.16 degrees: truncated toward zero
}

TEST_F(G1467xHead, MeasuredTemperatureFollowsTheCooler) {
    double degrees = 0;
    ASSERT_EQ(device->GetTemperature(&degrees), 1);
    EXPECT_NEAR(degrees, 24.93, 0.01);  // idle: room temperature
    EXPECT_EQ(HeadWrites(), (Writes{{84, 1}, {82, 0}, {82, 2}}));

    ASSERT_EQ(device->SetPeltier(1), 1);
    ASSERT_EQ(device->SetTargetTemperature(-10), 1);
    ASSERT_EQ(device->GetTemperature(&degrees), 1);
    EXPECT_NEAR(degrees, -10, 1);
}

TEST_F(G1467xHead, ARawValueWithoutATemperatureFailsInsteadOfAnInteger) {
    ASSERT_EQ(device->SetPeltier(1), 1);
    for (int raw : {0, 1024, 0xFFFF}) {
        ASSERT_TRUE(kelvra::sim::SetHeadReading(camera, kelvra::sim::HeadReading::Thermistor, raw));
        int32_t target = 12345;
        double measured = 12345;
        EXPECT_EQ(device->GetTargetTemperature(&target), 0) << raw;
        EXPECT_EQ(device->GetTemperature(&measured), 0) << raw;
        EXPECT_EQ(target, 12345);
        EXPECT_EQ(measured, 12345);
    }
    ASSERT_TRUE(kelvra::sim::SetHeadReading(camera, kelvra::sim::HeadReading::Thermistor, -1));
    int32_t target = 0;
    EXPECT_EQ(device->GetTargetTemperature(&target), 1);
}

}  // namespace
