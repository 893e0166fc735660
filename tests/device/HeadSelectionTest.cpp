// What a selection of an 880HQLN reports, and how long it may take, when the head refuses,
// stays silent or vanishes in the middle of a command; and two sessions talking to one head.
#include "HeadFaultTest.h"
#include "device/CKelvraUSB3G5SimpleSdk.h"

#include <memory>
#include <thread>
#include <vector>

namespace {

const std::vector<int32_t> kNothing;
const std::vector<int32_t> kNoDevice{KELVRA_ERR_NO_DEVICE};
const std::vector<int32_t> kBothSettingsRefused{KELVRA_ERR_CAMERA_IO, KELVRA_ERR_CAMERA_IO};

class HeadSelection : public HeadFaultTest {
protected:
    // Two cameras, so that the session selects none by itself; the first (number 0) is tested.
    void SetUp() override {
        HeadFaultTest::SetUp();
        camera = Attach();
        Attach();
        handle = Open();
    }

    // Selects the camera once while it is healthy, so that its head is identified and the next
    // selection goes straight to the stored settings.
    void SelectHealthy() {
        ASSERT_EQ(Kelvra_SetDeviceNumber(handle, 0), 1);
        ASSERT_EQ(Drain(handle), kNothing);
    }

    int32_t handle = 0;
    int camera = 0;
};

TEST_F(HeadSelection, HeadThatRefusesIdentificationIsNotSelected) {
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_NG, 1000);
    long long elapsed = 0;
    EXPECT_EQ(TimedSelect(handle, 0, elapsed), 0);
    EXPECT_EQ(Drain(handle), kNoDevice);
    EXPECT_LT(elapsed, 5000);
}

TEST_F(HeadSelection, RefusedSettingsAreRecordedAndTheCameraIsStillSelected) {
    SelectHealthy();
    // Three refusals use up the gain command's retries; the exposure is refused as well.
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_NG, 6);
    long long elapsed = 0;
    EXPECT_EQ(TimedSelect(handle, 0, elapsed), 1);
    EXPECT_EQ(Drain(handle), kBothSettingsRefused);
    EXPECT_LT(elapsed, 5000);

    // One refusal is retried away: nothing to report.
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_NG, 1);
    EXPECT_EQ(Kelvra_SetDeviceNumber(handle, 0), 1);
    EXPECT_EQ(Drain(handle), kNothing);
}

TEST_F(HeadSelection, SilentHeadCostsOneReplyLimitAtIdentification) {
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_SILENT, 1000);
    long long elapsed = 0;
    EXPECT_EQ(TimedSelect(handle, 0, elapsed), 0);
    EXPECT_EQ(Drain(handle), kNoDevice);
    EXPECT_GE(elapsed, static_cast<long long>(kShortReplyLimitMs));
    EXPECT_LT(elapsed, 2LL * kShortReplyLimitMs);
}

TEST_F(HeadSelection, SilentHeadCostsOneReplyLimitForAllSettings) {
    SelectHealthy();
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_SILENT, 1000);
    const size_t commandsBefore = kelvra::sim::HeadLog(camera).size();
    long long elapsed = 0;
    EXPECT_EQ(TimedSelect(handle, 0, elapsed), 1);
    // The gain went unanswered; the exposure was then not sent at all: neither took.
    EXPECT_EQ(Drain(handle), kBothSettingsRefused);
    EXPECT_LT(elapsed, 2LL * kShortReplyLimitMs);
    EXPECT_EQ(kelvra::sim::HeadLog(camera).size(), commandsBefore + 1);
}

// The camera vanishes while the head's reply is on its way, with the full minute of reply limit:
// only a failed bridge ending the command at once keeps the selection within a second.
class HeadUnplugSelection : public HeadSelection {
protected:
    void SetUp() override {
        HeadSelection::SetUp();
        CSensor880HQLN::SetDefaultReplyTimeLimit(CSensor880HQLN::kReplyTimeLimitMs);
    }

    void ExpectVanishedQuickly() {
        UnplugOnCommand unplug(camera);
        const int32_t result = Kelvra_SetDeviceNumber(handle, 0);
        const auto returned = Clock::now();
        unplug.Finish();
        ASSERT_TRUE(unplug.Fired());
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Drain(handle), kNoDevice);
        EXPECT_LT(MillisecondsBetween(unplug.When(), returned), 1000);
    }
};

TEST_F(HeadUnplugSelection, DuringIdentification) { ExpectVanishedQuickly(); }

TEST_F(HeadUnplugSelection, WhileTheSettingsAreSent) {
    SelectHealthy();
    ExpectVanishedQuickly();
    // Plugged in again, the same camera is selected as before.
    ASSERT_EQ(KelvraSim_Replug(camera), 1);
    EXPECT_EQ(Kelvra_SetDeviceNumber(handle, 0), 1);
    EXPECT_EQ(Drain(handle), kNothing);
}

// Two device objects (as two sessions of the process have) command the same head at once; each
// command and its reply stay one exchange, so every command succeeds.
TEST_F(HeadFaultTest, TwoDevicesOnOneHeadEachGetTheirOwnReplies) {
    const int camera = Attach();
    std::unique_ptr<CKelvraUSB3G5SimpleSdk> devices[2];
    for (auto& device : devices) {
        device = std::make_unique<CKelvraUSB3G5SimpleSdk>();
        ASSERT_EQ(device->CreateController(nullptr, nullptr), 1);
        ASSERT_EQ(device->SetProductId(0x3180), 1);
        ASSERT_EQ(device->OpenDevice(0), 1);
    }
    constexpr int kRounds = 12;
    int failures[2] = {0, 0};
    std::thread gains([&] {
        for (int round = 0; round < kRounds; ++round) failures[0] += devices[0]->SetGlobalGain(100 + round) != 1;
    });
    std::thread exposures([&] {
        for (int round = 0; round < kRounds; ++round) failures[1] += devices[1]->SetExposureTime(2000 + round) != 1;
    });
    gains.join();
    exposures.join();
    EXPECT_EQ(failures[0], 0);
    EXPECT_EQ(failures[1], 0);
    const auto head = kelvra::sim::GetHeadState(camera);
    ASSERT_TRUE(head.has_value());
    EXPECT_EQ(head->gain, 100 + kRounds - 1);
    EXPECT_EQ(head->exposure, 2000 + kRounds - 1);
    // Every command reached the head whole: none was refused.
    for (const auto& entry : kelvra::sim::HeadLog(camera)) EXPECT_NE(entry.reply, "NG\r\n") << entry.command;
}

}  // namespace
