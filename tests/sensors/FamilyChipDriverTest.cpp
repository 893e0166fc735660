// The chip drivers on their own: without a camera they refuse every hardware operation and keep
// their parameter block, a chip that does not acknowledge changes nothing either, and a model
// offers only the operations of its row.
#include "device/ProductTable.h"
#include "sensors/FamilySensors.h"
#include "usb/CControllerBase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

const unsigned short kChipProducts[] = {0x3020, 0x3030, 0x3040, 0x30F0, 0x3100, 0x3110, 0x3120,
                                        0x31B0, 0x31B4, 0x31C0, 0x31C4, 0x31F0, 0x3200, 0x3260,
                                        0x3280, 0x32A0, 0x32B0, 0x32C0, 0x32E0, 0x32F0, 0x3300};

// Acknowledges every access and answers zeros, or refuses every one.
class ChipBus : public CControllerBase {
public:
    explicit ChipBus(bool acknowledge) : acknowledge(acknowledge) {}
    int I2cWrite(uint8_t, const uint8_t*, int, uint32_t) override { return acknowledge; }
    int I2cRead(uint8_t, uint8_t* bytes, int count, uint32_t) override {
        std::memset(bytes, 0, static_cast<size_t>(count));
        return acknowledge;
    }
    int ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        *value = reg == 0x81 ? 0x02 : 0;  // idle board, sync running
        return acknowledge;
    }
    int WriteFpgaRegister(uint8_t, uint8_t) override { return acknowledge; }
    int ReadFpgaRegisterPair(uint16_t* value) override {
        *value = 0;
        return acknowledge;
    }

private:
    int acknowledge;
};

std::unique_ptr<CSensorBase> Make(unsigned short productId, CControllerBase* controller) {
    const ProductSensorRow& row = SensorRowForProduct(productId);
    return std::unique_ptr<CSensorBase>(row.create(controller, row.serialAddress));
}

// Every setter that reaches the hardware; each must fail and leave the block as it was.
void ExpectEverySetterRefused(CSensorBase& sensor) {
    SensorParameters before{};
    ASSERT_EQ(sensor.CopyParameters(&before), 1);
    EXPECT_EQ(sensor.Initialize(), 0);
    EXPECT_EQ(sensor.SetWindow(0, 16, 0, 16, 0), 0);
    EXPECT_EQ(sensor.SetGain(sensor.Parameters().gainMax), 0);
    EXPECT_EQ(sensor.SetExposure(sensor.Parameters().exposureMin + 1), 0);
    EXPECT_EQ(sensor.SetMirrorH(1), 0);
    EXPECT_EQ(sensor.SetMirrorV(1), 0);
    EXPECT_EQ(sensor.SetColorGainRed(3), 0);
    EXPECT_EQ(sensor.SetLevel(5), 0);
    EXPECT_EQ(sensor.SetExposureSeconds(0.001), 0);
    EXPECT_EQ(sensor.SetCoolerState(1), 0);
    EXPECT_EQ(sensor.WriteRegisterVerified(0x3000, 1), 0);
    SensorParameters after{};
    ASSERT_EQ(sensor.CopyParameters(&after), 1);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

TEST(FamilyChipDriver, WithoutACameraOrWithASilentChipNothingChanges) {
    ChipBus silent(false);
    for (unsigned short productId : kChipProducts) {
        SCOPED_TRACE(testing::Message() << "product 0x" << std::hex << productId);
        auto detached = Make(productId, nullptr);
        ASSERT_NE(detached, nullptr);
        ExpectEverySetterRefused(*detached);
        // A failed verified access takes its full 100 attempts; those are timed elsewhere.
        auto unanswered = Make(productId, &silent);
        if (auto* member = dynamic_cast<CSensorFamilyMember*>(unanswered.get());
            member && !(member->Features() & kFeatureVerifiedAccess))
            ExpectEverySetterRefused(*unanswered);
    }
}

TEST(FamilyChipDriver, AModelOffersOnlyTheOperationsOfItsRow) {
    ChipBus bus(true);
    auto imx159 = Make(0x3120, &bus);
    EXPECT_EQ(imx159->Initialize(), 1);
    EXPECT_EQ(imx159->SetMirrorV(1), 1);
    EXPECT_EQ(imx159->SetMirrorH(1), 0) << "vertical mirror only";
    EXPECT_EQ(imx159->IsMirrorHSupported(), 0);
    EXPECT_EQ(imx159->CoolerAvailable(), 0);
    EXPECT_EQ(imx159->SetExposureSeconds(0.01), 0);

    auto imx991 = Make(0x3280, &bus);
    EXPECT_EQ(imx991->CoolerAvailable(), 1);
    EXPECT_EQ(imx991->SetCoolerState(1), 1);
    int32_t state = 0;
    EXPECT_EQ(imx991->GetCoolerState(&state), 1);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(imx991->IsExposureSecondsSupported(), 1);
    EXPECT_EQ(imx991->SupportsReadoutOption(), 0) << "FPGA version 0";

    auto mt9j = Make(0x3040, &bus);
    EXPECT_EQ(mt9j->SetHalfClock(3), 0);
    auto mt9p = Make(0x3030, &bus);
    EXPECT_EQ(mt9p->SetHalfClock(1), 0) << "the MT9P001 only reports its clock";
    int32_t mode = -1;
    EXPECT_EQ(mt9p->GetHalfClock(&mode), 1);
    EXPECT_EQ(mode, 0);
    auto mt9f = Make(0x3020, &bus);
    EXPECT_EQ(mt9f->GetHalfClock(&mode), 0);
}

}  // namespace
