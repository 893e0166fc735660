// The parameter block and the base answers every driver builds on.
#include "sensors/FamilySensors.h"
#include "sensors/Sensor880HQLN.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(SensorBase, BaseRangeGettersReportTheSupportedFlagAndStillHandOutTheValue) {
    CSensor880HQLN sensor(nullptr, 0x48);  // no level, gain-step or seconds range: all unsupported
    int32_t value = -1;
    EXPECT_EQ(sensor.GetLevel(&value), 0);
    EXPECT_EQ(value, 0);
    double seconds = -1.0;
    EXPECT_EQ(sensor.GetExposureSecondsMax(&seconds), 0);
    EXPECT_EQ(seconds, 0.0);
    EXPECT_EQ(sensor.GetFpgaFlag(), -1);
    EXPECT_EQ(sensor.GetModeSwitch(), -1);
    EXPECT_EQ(sensor.SetLevel(5), 0);
}

TEST(SensorBase, TriggerModeValueKeepsWideCodes) {
    CSensorMT9J001 sensor(nullptr, 0x20);
    sensor.SetTriggerModeValue(0x10000);
    EXPECT_EQ(sensor.GetTriggerModeValue(), 0x10000);
}

TEST(SensorBase, CopyParametersCopiesTheWholeBlockAndRefusesNoDestination) {
    CSensor880HQLN sensor(nullptr, 0x48);
    EXPECT_EQ(sensor.CopyParameters(nullptr), 0);
    SensorParameters copy;
    std::memset(&copy, 0xA5, sizeof(copy));
    ASSERT_EQ(sensor.CopyParameters(&copy), 1);
    EXPECT_EQ(std::memcmp(&copy, &sensor.Parameters(), sizeof(copy)), 0);
    const auto* words = reinterpret_cast<const int32_t*>(&copy);
    EXPECT_EQ(words[0], 1280);
    EXPECT_EQ(words[19], 128);    // gain
    EXPECT_EQ(words[24], 10000);  // exposure
    EXPECT_EQ(words[49], 100);    // exposure time
    EXPECT_EQ(words[83], 72000);  // pixel clock
    EXPECT_EQ(words[84], 2);
}

TEST(SensorBase, CommonGettersReadTheConstructorValues) {
    CSensor880HQLN sensor(nullptr, 0x48);
    int32_t value = 0;
    EXPECT_EQ(sensor.GetExposure(&value), 1);
    EXPECT_EQ(value, 10000);
    EXPECT_EQ(sensor.GetGainMax(&value), 1);
    EXPECT_EQ(value, 255);
    EXPECT_EQ(sensor.GetExposureTimeMax(&value), 1);
    EXPECT_EQ(value, 10000);
    EXPECT_EQ(sensor.Variant(), 100);

    ASSERT_EQ(sensor.SetWindow(16, 640, 32, 480, 3), 1);
    int32_t x = 0, width = 0, y = 0, height = 0, mode = 0;
    EXPECT_EQ(sensor.GetWindow(&x, &width, &y, &height, &mode), 1);
    EXPECT_EQ(x, 16);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(y, 32);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(mode, 3);
}

TEST(SensorFamily, MembersCarryTheirConstructionValues) {
    CSensorIMX226 imx226(nullptr, 0x48);
    const SensorParameters& p = imx226.Parameters();
    EXPECT_EQ(p.sensorWidth, 4168);
    EXPECT_EQ(p.frameWidth, 4160);
    EXPECT_EQ(p.windowHeight, 3056);
    EXPECT_EQ(p.exposureMax, 0xC06FFF8);
    EXPECT_EQ(p.binningX, 1);
    EXPECT_EQ(imx226.Variant(), 60);

    CSensorP3090 p3090(nullptr, 0x00);
    int32_t value = 0;
    EXPECT_EQ(p3090.GetGainMin(&value), 1);
    EXPECT_EQ(value, 15);
    EXPECT_EQ(p3090.GetGain(&value), 1);
    EXPECT_EQ(value, 350);
    // Model heads take any window inside their area, as the chips do: the session may narrow it.
    EXPECT_EQ(p3090.Parameters().binningX, 1);
    EXPECT_EQ(p3090.Parameters().pixelClockKHz, 60000);
}

}  // namespace
