// Per-product rules of the device core, checked on what the simulated camera saw: the timing
// words after the image size for each window a product treats differently, the data-width path,
// the transfer reset (FPGA writes, pipe and port resets), the trigger switch, and the register
// and text channels.
#include "DeviceTestAccess.h"
#include "SimulatedDevice.h"

#include "sensors/SensorBase.h"
#include "sensors/SensorCommon.h"

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Writes = std::vector<std::pair<int, int>>;

constexpr int kFull = 0;            // window width or height: the sensor's full size
constexpr int kRightEdge = -1;      // window start x: the window ends at the right edge
constexpr int kColumnsToEdge = -1;  // expected pixel word: F - sx - w
constexpr uint8_t kStartRequest = 0xC0;
constexpr uint8_t kDataWidthRequest = 0x3C;
constexpr uint8_t kFpgaI2c = 0x40;

const Writes kTransferReset = {{108, 1}, {108, 0}, {104, 2}};

Writes Join(Writes first, const Writes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Writes Words(int low, int value) { return {{low, value & 0xFF}, {low + 1, (value >> 8) & 0xFF}}; }
Writes Timing(int line, int pixel) { return Join(Words(72, line), Words(76, pixel)); }

struct EndpointCall {
    kelvra::sim::EndpointAction action;
    uint8_t endpoint;
    bool operator==(const EndpointCall&) const = default;
};

struct Window {
    int x, y, w, h, s;
};

// A head that keeps any window and notes what reaches its trigger operation.
class RowHead : public ScriptedHead {
public:
    using ScriptedHead::ScriptedHead;
    int32_t SetTriggerMode(int32_t mode) override {
        triggers.push_back(mode);
        return 1;
    }
    void SetBitsPerPixel(int32_t bits) { params.bitsPerPixel = bits; }
    std::vector<int32_t> triggers;
};

// Hardware trigger pulses from a thread of their own, for as long as the object lives.
class TriggerPulses {
public:
    explicit TriggerPulses(int camera)
        : thread([this, camera] {
              while (!stop.load()) {
                  KelvraSim_Trigger(camera);
                  Sleep(5);
              }
          }) {}
    ~TriggerPulses() {
        stop.store(true);
        thread.join();
    }

private:
    std::atomic<bool> stop{false};
    std::thread thread;
};

class DeviceProductRows : public ScriptedDevice {
protected:
    void OpenPlain(unsigned short productId) {
        camera = Attach(productId);
        Open(camera, productId);  // some generic boards never report ready; the driver exists anyway
        ASSERT_NE(device->Sensor(), nullptr);
        kelvra::sim::ClearLogs(camera);
    }

    // Opens a camera whose information record 1 reports the firmware given (-1: as it comes).
    void OpenWithFirmware(unsigned short productId, int firmware) {
        camera = Attach(productId);
        if (firmware >= 0) {
            auto info = kelvra::sim::GetInfoRecord(camera, 1);
            ASSERT_TRUE(info.has_value());
            (*info)[24] = static_cast<uint8_t>(firmware);
            (*info)[25] = static_cast<uint8_t>(firmware >> 8);
            ASSERT_TRUE(kelvra::sim::SetInfoRecord(camera, 1, *info));
        }
        Open(camera, productId);
        ASSERT_NE(device->Sensor(), nullptr);
        kelvra::sim::ClearLogs(camera);
    }

    std::vector<EndpointCall> EndpointCalls() const {
        std::vector<EndpointCall> calls;
        for (const auto& r : kelvra::sim::EndpointLog(camera)) calls.push_back({r.action, r.endpoint});
        return calls;
    }

    Writes FpgaWrites() const {
        Writes writes;
        for (const auto& w : kelvra::sim::FpgaWriteLog(camera)) writes.emplace_back(w.reg, w.value);
        return writes;
    }

    std::vector<int> Requests() const {
        std::vector<int> requests;
        for (const auto& c : kelvra::sim::ControlLog(camera)) requests.push_back(c.request);
        return requests;
    }

    // Selections of an FPGA register for reading (a one-byte write to the FPGA).
    int RegisterReads(uint8_t reg) const {
        int reads = 0;
        for (const auto& r : kelvra::sim::I2cLog(camera))
            reads += !r.read && r.address == kFpgaI2c && r.bytes == std::vector<uint8_t>{reg};
        return reads;
    }

    Writes SizeWrites(int widthLow, int heightLow) const {
        const SensorParameters& g = device->Sensor()->Parameters();
        return Join(Words(widthLow, g.windowWidth), Words(heightLow, g.windowHeight));
    }
};

struct TimingRow {
    unsigned short productId;
    Window window;
    int line, pixel;
    int option = 0, flag = 0;
    int revision = -1;  // FPGA register 17, when the row sets it
};

TEST_F(DeviceProductRows, TimingWordsFollowTheWindowOptionAndRevision) {
    const TimingRow rows[] = {
        {0x31B4, {0, 0, 640, 300, 0}, 11, 0},
        {0x31C0, {8, 0, 320, 240, 1}, 11, 0},
        {0x31C0, {kRightEdge, 4, 320, 240, 0}, 12, 0},
        {0x31C0, {24, 4, 320, 240, 2}, 12, kColumnsToEdge},
        {0x31C4, {0, 0, 320, 240, 1}, 11, 0},
        {0x31C4, {0, 0, 320, 240, 2}, 12, 0},
        {0x31F0, {20, 10, 320, 240, 1}, 24, 52},
        {0x31F0, {20, 300, 320, 240, 18}, 314, 52, 1},  // the option counts only without subsampling
        {0x31F0, {20, 10, 320, 240, 0}, 51, 84, 1},
        {0x3260, {0, 0, kFull, kFull, 0}, 25, 104, 0, 1},
        {0x3270, {0, 0, kFull, 200, 0}, 21, 8},
        {0x3280, {0, 0, 320, 240, 1}, 23, 52, 0, 1},
        {0x3290, {0, 0, 320, 240, 1}, 23, 4},
        {0x3260, {0, 0, kFull, kFull, 2}, 21, 8},
        {0x3270, {0, 0, 320, 240, 3}, 21, 104, 0, 1},
        {0x32E0, {0, 0, 320, 240, 1}, 36, 0},
        {0x32F0, {0, 0, 320, 240, 0}, 68, 0},
        {0x32F0, {0, 0, 320, 240, 2}, 36, 0},
        {0x3300, {0, 0, 320, 240, 1}, 11, 4, 1},
        {0x3300, {0, 0, 320, 240, 2}, 15, 4},
        {0x3300, {0, 0, kFull, kFull, 0}, 11, 8, 1},
        {0x3300, {0, 0, kFull, 200, 0}, 11, 8},
        {0x3300, {0, 0, 320, kFull, 0}, 11, 0},
        {0x30F0, {0, 0, 320, 240, 0}, 31, 12, 0, 0, 19},
        {0x30F0, {0, 0, 320, 240, 0}, 0, 0, 0, 0, 18},
    };
    for (const TimingRow& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.productId << std::dec << " window s=" << row.window.s
                                        << " option " << row.option << " flag " << row.flag);
        NextCamera();
        RowHead& head = OpenWithHead<RowHead>(row.productId);
        const SensorParameters& g = head.Parameters();
        const int w = row.window.w == kFull ? g.sensorWidth : row.window.w;
        const int h = row.window.h == kFull ? g.sensorHeight : row.window.h;
        const int x = row.window.x == kRightEdge ? g.sensorWidth - w : row.window.x;
        ASSERT_EQ(device->SetVideoFormat(x, row.window.y, w, h, row.window.s), 1);
        if (row.option != 0) {
            ASSERT_EQ(device->SetReadoutOption(row.option), 1);
        }
        head.supportsReadoutOption = row.flag;
        if (row.revision >= 0) {
            ASSERT_TRUE(kelvra::sim::PokeFpga(camera, 17, static_cast<uint16_t>(row.revision)));
        }
        kelvra::sim::ClearLogs(camera);

        ASSERT_EQ(device->ApplyImageSize(), 1);
        EXPECT_EQ(device->GeometryDirty(), 0);
        const int pixel = row.pixel == kColumnsToEdge ? g.sensorWidth - x - w : row.pixel;
        EXPECT_EQ(FpgaWrites(), Join(Join(Words(68, w), Words(64, h)), Timing(row.line, pixel)));
    }
}

TEST_F(DeviceProductRows, ImageSizeWithoutTimingOnAnotherMapOrNotAtAll) {
    OpenWithHead<RowHead>(0x3020);
    ASSERT_EQ(device->SetVideoFormat(0, 0, 640, 300, 0), 1);
    ASSERT_EQ(device->ApplyImageSize(), 1);
    EXPECT_EQ(FpgaWrites(), SizeWrites(68, 64));

    NextCamera();
    OpenWithHead<RowHead>(0x32D0);
    ASSERT_EQ(device->SetVideoFormat(0, 0, 640, 300, 0), 1);
    ASSERT_EQ(device->ApplyImageSize(), 1);
    EXPECT_EQ(FpgaWrites(), Join(SizeWrites(156, 154), Timing(20, 136)));

    // The single-transfer model gets its buffers but no registers, and stays dirty for the next start.
    NextCamera();
    OpenWithHead<RowHead>(0x3042);
    ASSERT_EQ(device->SetVideoFormat(0, 0, 64, 32, 0), 1);
    EXPECT_EQ(device->ApplyImageSize(), 0);
    EXPECT_EQ(device->GeometryDirty(), 1);
    EXPECT_EQ(device->FrameBytes(), 64u * 32u);
    EXPECT_TRUE(FpgaWrites().empty());
    EXPECT_TRUE(Requests().empty());
}

TEST_F(DeviceProductRows, DataWidthOfBoardsWhoseHeadSetsItsDepthEndsInRegister60) {
    const std::pair<unsigned short, bool> rows[] = {
        {0x30B0, false}, {0x3150, false}, {0x3100, true}, {0x31B0, true}, {0x31B4, true},
        {0x31C0, true},  {0x31C4, true},  {0x3260, true}, {0x3270, true}, {0x3280, true},
        {0x3290, true},  {0x32A0, true},  {0x32E0, true}, {0x32F0, true}, {0x3300, true},
    };
    constexpr int32_t kUntouched = 12;
    for (const auto& [productId, headSetsDepth] : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << productId);
        NextCamera();
        RowHead& head = OpenWithHead<RowHead>(productId);
        ASSERT_EQ(device->SetVideoFormat(0, 0, 64, 32, 0), 1);
        ASSERT_EQ(device->ApplyImageSize(), 1);
        struct Step {
            int32_t code, bits, registerValue;
            uint32_t dataWidth, bytesPerPixel;
        };
        for (const Step step : {Step{1, 16, 2, 1, 2}, Step{0, 8, 1, 0, 1}}) {
            SCOPED_TRACE(testing::Message() << "code " << step.code);
            head.SetBitsPerPixel(kUntouched);
            kelvra::sim::ClearLogs(camera);
            EXPECT_EQ(device->SetDataWidth(step.code), 1);
            EXPECT_EQ(head.Parameters().bitsPerPixel, headSetsDepth ? step.bits : kUntouched);
            ASSERT_FALSE(FpgaWrites().empty());
            EXPECT_EQ(FpgaWrites().front(), std::make_pair(60, step.registerValue));
            EXPECT_EQ(device->DataWidth(), step.dataWidth);
            EXPECT_EQ(device->FrameBytes(), 64u * 32u * step.bytesPerPixel);
        }
    }

    // Any other code takes the one-byte register but counts two bytes per pixel; asking for the
    // width already set writes the register and nothing else.
    EXPECT_EQ(device->SetDataWidth(2), 1);
    EXPECT_EQ(device->DataWidth(), 2u);
    EXPECT_EQ(device->FrameBytes(), 64u * 32u * 2u);
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(device->SetDataWidth(2), 1);
    EXPECT_EQ(FpgaWrites(), (Writes{{60, 1}}));
}

TEST_F(DeviceProductRows, SingleTransferModelSendsTheDataWidthRequest) {
    OpenPlain(0x3042);
    const SensorParameters& g = device->Sensor()->Parameters();
    const uint32_t pixels = static_cast<uint32_t>(g.windowWidth * g.windowHeight);
    auto widthRequests = [this] {
        std::vector<std::vector<uint8_t>> sent;
        for (const auto& c : kelvra::sim::ControlLog(camera))
            if (c.request == kDataWidthRequest) sent.push_back(c.dataOut);
        kelvra::sim::ClearLogs(camera);
        return sent;
    };
    // A changed width ends in ApplyImageSize, which this model always answers with 0.
    EXPECT_EQ(device->SetDataWidth(1), 0);
    EXPECT_EQ(device->DataWidth(), 1u);
    EXPECT_EQ(device->FrameBytes(), pixels * 2);
    EXPECT_TRUE(FpgaWrites().empty());
    EXPECT_EQ(widthRequests(), (std::vector<std::vector<uint8_t>>{{1, 0, 0, 0}}));

    EXPECT_EQ(device->SetDataWidth(1), 1);  // unchanged
    EXPECT_EQ(widthRequests(), (std::vector<std::vector<uint8_t>>{{1, 0, 0, 0}}));

    EXPECT_EQ(device->SetDataWidth(0), 0);
    EXPECT_EQ(device->DataWidth(), 0u);
    EXPECT_EQ(device->FrameBytes(), pixels);
    EXPECT_TRUE(FpgaWrites().empty());
    EXPECT_EQ(widthRequests(), (std::vector<std::vector<uint8_t>>{{0, 0, 0, 0}}));
}

struct ResetRow {
    unsigned short productId;
    int firmware;  // -1: as the camera reports it (0x1102)
    Writes writes;
    std::vector<EndpointCall> calls;
};

TEST_F(DeviceProductRows, TransferResetByFirmwareAndProduct) {
    const std::vector<EndpointCall> pipe = {{kelvra::sim::EndpointAction::ResetPipe, 0x81}};
    const ResetRow rows[] = {
        {0x3100, -1, kTransferReset, pipe},   {0x3100, 0x1100, kTransferReset, pipe},
        {0x3100, 0x10FF, kTransferReset, {}}, {0x3100, 0x00FF, kTransferReset, {}},  // little-endian: not 0xFF00
        {0x30C0, -1, {{104, 2}}, pipe},       {0x3042, -1, {}, {{kelvra::sim::EndpointAction::ResetPort, 0}}},
    };
    for (const ResetRow& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.productId << " firmware " << row.firmware);
        NextCamera();
        OpenWithFirmware(row.productId, row.firmware);
        EXPECT_EQ(device->ResetTransfer(), 1);
        EXPECT_EQ(FpgaWrites(), row.writes);
        EXPECT_EQ(EndpointCalls(), row.calls);
        const std::vector<int> requests = Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back(), kStartRequest);
    }
}

TEST_F(DeviceProductRows, TriggerOfModels3030And3050SynchronisesOnTheFrameCounter) {
    for (unsigned short productId : {0x3030, 0x3050}) {
        SCOPED_TRACE(testing::Message() << std::hex << productId);
        NextCamera();
        OpenPlain(productId);
        {
            // In trigger mode the camera sends a frame per pulse only: both streams need them.
            TriggerPulses pulses(camera);
            EXPECT_EQ(device->SetTriggerMode(1, 0), 1);
            // The next-new-frame stream stores one frame; the header-only stream before it none.
            EXPECT_EQ(device->WaitFrame(5000), 3);
            device->StopStreaming();
        }
        const Writes writes = FpgaWrites();
        ASSERT_GE(writes.size(), 4u);
        EXPECT_EQ(Writes(writes.begin(), writes.begin() + 4), Join(kTransferReset, {{36, 1}}));
        EXPECT_EQ(KelvraSim_FramesSent(camera), 1);

        kelvra::sim::ClearLogs(camera);
        EXPECT_EQ(device->SetTriggerMode(1, 0), 1);  // the current mode: nothing stops, nothing is sent
        EXPECT_TRUE(FpgaWrites().empty());
        EXPECT_TRUE(Requests().empty());

        EXPECT_EQ(device->SetTriggerMode(0, 0), 1);
        EXPECT_EQ(FpgaWrites(), Join(kTransferReset, {{36, 0}}));
        EXPECT_EQ(device->IsStreaming(), 0);
    }
}

struct VersionRow {
    unsigned short productId;
    uint16_t version;
    int32_t mode;
    std::vector<int32_t> triggers;
    int counterReads;  // -1: the row streams, which reads the counter as often as it polls
    int streamedFrame;
};

TEST_F(DeviceProductRows, TriggerOfModels3260To3290FollowsTheFpgaVersion) {
    const VersionRow rows[] = {
        {0x3260, 0x0110, 1, {1}, 1, 2}, {0x3270, 0x0110, 2, {2}, 0, 2},
        {0x3280, 0x0110, 0, {0}, 0, 2}, {0x3290, 0x0111, 2, {}, 0, 2},  // newer boards know modes 0 and 1 only
        {0x3260, 0x0111, 0, {0}, 0, 2}, {0x3270, 0x0111, 1, {1}, -1, 3},
    };
    for (const VersionRow& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.productId << " version " << row.version << " mode "
                                        << row.mode);
        NextCamera();
        RowHead& head = OpenWithHead<RowHead>(row.productId);
        ASSERT_TRUE(kelvra::sim::PokeFpga(camera, 16, row.version & 0xFF));
        ASSERT_TRUE(kelvra::sim::PokeFpga(camera, 17, row.version >> 8));
        EXPECT_EQ(device->SetTriggerMode(row.mode, 0), 1);
        EXPECT_EQ(head.triggers, row.triggers);
        EXPECT_EQ(head.FpgaVersion(), row.version);
        if (row.counterReads >= 0) {
            EXPECT_EQ(RegisterReads(8), row.counterReads);
        }
        EXPECT_EQ(device->WaitFrame(0), row.streamedFrame);
        device->StopStreaming();

        // The version is read once per head.
        kelvra::sim::ClearLogs(camera);
        EXPECT_EQ(device->SetTriggerMode(row.mode, 1), 1);
        EXPECT_EQ(RegisterReads(16), 0);
        device->StopStreaming();
    }

    // A head without a register interface is sent nothing.
    NextCamera();
    OpenWithHead<RowHead>(0x3260);
    ASSERT_TRUE(kelvra::sim::PokeFpga(camera, 17, 0x01));
    ASSERT_TRUE(kelvra::sim::PokeFpga(camera, 16, 0x00));
    const CSensor880HQLN detached(nullptr, 0x48);
    auto bare = std::make_unique<RowHead>(detached);
    RowHead& kept = *bare;
    auto replaced = DeviceTestAccess::ReplaceSensor(*device, std::move(bare));
    EXPECT_EQ(device->SetTriggerMode(1, 0), 1);
    EXPECT_TRUE(kept.triggers.empty());
    EXPECT_EQ(RegisterReads(8), 0);
}

TEST_F(DeviceProductRows, RegisterReadsReportSuccessOnlyAsTold) {
    // Without a controller the FPGA read says it failed; the sensor read leaves the flag alone.
    CKelvraUSB3G5SimpleSdk bareDevice;
    int32_t success = 7;
    EXPECT_EQ(bareDevice.ReadFpgaRegister(16, &success), 0);
    EXPECT_EQ(success, 0);
    success = 7;
    EXPECT_EQ(bareDevice.ReadSensorRegister(16, &success), 0);
    EXPECT_EQ(success, 7);

    OpenPlain(0x3100);
    // FPGA registers take the low bytes of address and value and answer the low byte.
    EXPECT_EQ(device->WriteFpgaRegister(0x1C8, 0x15A), 1);
    EXPECT_EQ(FpgaWrites(), (Writes{{0xC8, 0x5A}}));
    ASSERT_TRUE(kelvra::sim::PokeFpga(camera, 201, 0x12A5));
    success = -1;
    EXPECT_EQ(device->ReadFpgaRegister(201, &success), 0xA5);
    EXPECT_EQ(success, 1);
    EXPECT_EQ(device->ReadFpgaRegister(201, nullptr), 0xA5);

    // A driver without a register read of its own.
    auto withoutRead = DeviceTestAccess::ReplaceSensor(
        *device, std::make_unique<CSensorCommon>(device->Controller(), device->Sensor()->SerialAddress()));
    success = 5;
    EXPECT_EQ(device->ReadSensorRegister(0x1234, &success), 0);
    EXPECT_EQ(success, 5);

    const uint8_t serialAddress = device->Sensor()->SerialAddress();
    auto head = std::make_unique<RowHead>(*device->Sensor());
    original = DeviceTestAccess::ReplaceSensor(*device, std::move(head));
    ASSERT_TRUE(kelvra::sim::PokeI2c(camera, serialAddress, 0x1234, 0x7E));
    success = -1;
    EXPECT_EQ(device->ReadSensorRegister(0x1234, &success), 0x7E);
    EXPECT_EQ(success, 1);

    const CSensor880HQLN detached(nullptr, serialAddress);
    auto replaced = DeviceTestAccess::ReplaceSensor(*device, std::make_unique<RowHead>(detached));
    success = 5;
    EXPECT_EQ(device->ReadSensorRegister(0x1234, &success), 0);
    EXPECT_EQ(success, 5);
}

TEST_F(DeviceProductRows, SensorTextReachesThe880HQLNHeadUpToTheGivenLength) {
    camera = Attach(0x3180);
    ASSERT_EQ(Open(camera, 0x3180), 1);
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(device->SendSensorText("g -v 77\nJUNK", 8), 1);
    EXPECT_EQ(device->SendSensorText("n\n", 2), 1);
    std::vector<std::string> commands;
    for (const auto& c : kelvra::sim::HeadLog(camera)) commands.push_back(c.command);
    EXPECT_EQ(commands, (std::vector<std::string>{"g -v 77", "n"}));
    const auto state = kelvra::sim::GetHeadState(camera);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->gain, 77);
}

}  // namespace
