#include "CameraModel.h"

#include "kelvra/KelvraSim.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace kelvra::sim {

namespace {

constexpr std::uint8_t kVendorOut = 0x40;
constexpr std::uint8_t kVendorIn = 0xC0;
constexpr std::uint8_t kVendorOutEndpoint = 0x42;
constexpr std::size_t kMaxI2cBytes = 64;
constexpr std::size_t kInfoBytes = 64;
constexpr std::uint16_t kFirmwareVersion = 0x1102;

enum Request : std::uint8_t {
    kI2cWrite = 0x30,
    kI2cRead = 0x31,
    kModeByteWrite = 0x3C,
    kModeByteRead = 0x3D,
    kRegisterPairWrite = 0x3E,
    kRegisterWordRead = 0x3F,
    kCameraInfo = 0xB0,
    kCameraInfo2 = 0xB1,
    kResetStream = 0xC0,
    kRequestFrame = 0xC2,
    kReadyState = 0xC3,
    kRequestCC = 0xCC,
    kRegister32Write = 0xD0,
    kRegister16Read = 0xD1,
};

// The request type each request must carry; the firmware stalls any other.
std::optional<std::uint8_t> ExpectedType(std::uint8_t request) {
    switch (request) {
        case kI2cWrite:
        case kModeByteWrite:
        case kRegisterPairWrite:
        case kResetStream:
        case kRegister32Write:
            return kVendorOut;
        case kI2cRead:
        case kModeByteRead:
        case kRegisterWordRead:
        case kCameraInfo:
        case kCameraInfo2:
        case kReadyState:
        case kRegister16Read:
            return kVendorIn;
        case kRequestFrame:
        case kRequestCC:
            return kVendorOutEndpoint;
        default:
            return std::nullopt;
    }
}

void PutText(InfoRecord& record, std::size_t offset, std::size_t capacity, const char* text) {
    std::memcpy(record.data() + offset, text, std::min(capacity, std::strlen(text)));
}

std::vector<std::uint8_t> Padded(std::initializer_list<std::uint8_t> bytes, std::size_t size) {
    std::vector<std::uint8_t> out(bytes);
    out.resize(size, 0);
    return out;
}

}  // namespace

CameraModel::CameraModel(int id, std::uint16_t vendorId, std::uint16_t productId, FrameClock::Clock::time_point now)
    : clock(now),
      board(productId, *this, log),
      attached(now),
      frameEndpoint(productId == 0x3042 ? kWholeFrameEndpoint : kHeaderEndpoint) {
    SetupTransfer::Store16(info1.data(), vendorId);
    SetupTransfer::Store16(info1.data() + 2, productId);
    char model[17];
    std::snprintf(model, sizeof model, productId == Board::kProduct880HQLN ? "880HQLN" : "FAMILY-%04X",
                  static_cast<unsigned>(productId));
    PutText(info1, 4, 16, model);
    SetupTransfer::Store32(info1.data() + 20, static_cast<std::uint32_t>(id));
    SetupTransfer::Store16(info1.data() + 24, kFirmwareVersion);
    SetupTransfer::Store16(info2.data(), static_cast<std::uint16_t>(board.Fpga().Peek(BoardFpga::kVersionLow) |
                                                                    board.Fpga().Peek(BoardFpga::kVersionHigh) << 8));
    PutText(info2, 2, 16, "U3-G5 BOARD");
    PutText(info2, 18, 10, "2026-01-15");
}

ControlResult CameraModel::Control(const SetupTransfer& setup, std::span<const std::uint8_t> data,
                                   FrameClock::Clock::time_point now) {
    ControlResult result;
    const auto expected = ExpectedType(setup.request);
    result.accepted = expected && *expected == setup.requestType && HandleRequest(setup, data, result);
    if (!result.accepted) {
        result.dataIn.clear();
        result.dataOutCount = 0;
    }
    // A register write may have switched the trigger mode of the board or the head.
    clock.SetTriggerMode(board.TriggerMode(), now);
    log.control.Add(
        {setup.requestType,
         setup.request,
         setup.value,
         setup.index,
         {data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(result.dataOutCount, data.size()))},
         result.dataIn,
         result.accepted});
    return result;
}

bool CameraModel::HandleRequest(const SetupTransfer& setup, std::span<const std::uint8_t> data, ControlResult& result) {
    auto takeOut = [&](std::size_t count) {
        if (data.size() < count) return false;
        result.dataOutCount = count;
        return true;
    };
    switch (setup.request) {
        case kI2cWrite:
            // The 8-bit write form: bit 0 clear.
            if (setup.value > kMaxI2cBytes || setup.index > 0xFF || (setup.index & 1) != 0 || !takeOut(setup.value))
                return false;
            return board.Write(static_cast<std::uint8_t>(setup.index), data.first(setup.value));
        case kI2cRead:
            if (setup.value > kMaxI2cBytes || setup.index > 0xFF || (setup.index & 1) == 0) return false;
            result.dataIn.resize(setup.value);
            return board.Read(static_cast<std::uint8_t>(setup.index & 0xFE), result.dataIn);
        case kRegister32Write: {
            if (!takeOut(4) || setup.value > 1 || setup.index > 0x7FFF) return false;
            const auto address = static_cast<std::uint16_t>(setup.value << 15 | setup.index);
            registers32[address] = SetupTransfer::Load32(data.data());
            return true;
        }
        case kRegister16Read: {
            const std::uint32_t value = registers32.contains(setup.index) ? registers32[setup.index] : 0;
            result.dataIn =
                Padded({static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)}, kInfoBytes);
            return true;
        }
        case kRegisterPairWrite:
            if (!takeOut(4)) return false;
            registerWords[static_cast<std::uint16_t>(data[0] << 8 | data[1])] =
                static_cast<std::uint16_t>(data[2] << 8 | data[3]);
            return true;
        case kRegisterWordRead: {
            const std::uint16_t value = registerWords.contains(setup.value) ? registerWords[setup.value] : 0;
            result.dataIn = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
            return true;
        }
        case kModeByteWrite:
            if (!takeOut(4)) return false;
            modeByte = data[0];
            return true;
        case kModeByteRead:
            result.dataIn = {modeByte};
            return true;
        case kCameraInfo:
        case kCameraInfo2: {
            const InfoRecord& record = setup.request == kCameraInfo ? info1 : info2;
            result.dataIn.assign(record.begin(), record.end());
            return true;
        }
        case kReadyState:
            result.dataIn = Padded({readyState}, kInfoBytes);
            return true;
        case kResetStream:
            ResetTransfer();
            return true;
        case kRequestFrame:
            clock.Request();
            return true;
        case kRequestCC:
            return true;
        default:
            return false;
    }
}

std::uint16_t CameraModel::FrameCounter() {
    return static_cast<std::uint16_t>(clock.Counter(FrameClock::Clock::now()));
}

void CameraModel::OnFpgaWrite(std::uint8_t reg, std::uint16_t, std::uint16_t newValue) {
    log.fpgaWrites.Add({reg, newValue});
    board.OnFpgaWrite(reg);
    const bool transferReset =
        reg == BoardFpga::kFrameRestart || reg == BoardFpga::kTransferReset || reg == BoardFpga::kTransferResetAlt;
    if (transferReset && newValue != 0) ResetTransfer();
}

void CameraModel::ResetTransfer() {
    delivery.reset();
    clock.CancelRequest();
}

void CameraModel::SetScene(int scene, int level) {
    this->scene = scene;
    this->level = level;
}

bool CameraModel::InjectFault(int fault, int count) {
    CameraHead* head = board.Head();
    switch (fault) {
        case KELVRA_SIM_FAULT_DROP_HEADER:
            dropHeaders = count;
            return true;
        case KELVRA_SIM_FAULT_FAIL_PAYLOAD:
            failPayloads = count;
            return true;
        case KELVRA_SIM_FAULT_HEAD_NG:
            if (head) head->InjectRejections(count);
            return head != nullptr;
        case KELVRA_SIM_FAULT_HEAD_SILENT:
            if (head) head->InjectSilence(count);
            return head != nullptr;
        default:
            return false;
    }
}

std::optional<FrameClock::Clock::time_point> CameraModel::NextFrameTime() const {
    return delivery ? std::nullopt : clock.NextFrameTime();
}

void CameraModel::StartDelivery(std::uint32_t frameNumber, FrameClock::Clock::time_point now) {
    Delivery delivery;
    delivery.shape = board.Shape();
    // The model that sends whole frames takes its sample width from the mode byte, not the FPGA.
    if (frameEndpoint == kWholeFrameEndpoint) delivery.shape.bytesPerSample = modeByte != 0 ? 2 : 1;
    delivery.shape.scene = scene;
    delivery.shape.level = level;
    delivery.shape.frameNumber = frameNumber;
    // A frame larger than the FPGA's memory cannot be sent; the camera announces an empty one.
    delivery.payloadBytes = delivery.shape.Bytes() <= kMaxPayload ? delivery.shape.Bytes() : 0;
    const auto sinceAttach = std::chrono::duration_cast<std::chrono::milliseconds>(now - attached).count();
    std::uint8_t* h = delivery.header.data();
    SetupTransfer::Store32(h + kHeaderWidthOffset, delivery.shape.samplesPerRow);
    SetupTransfer::Store32(h + kHeaderHeightOffset, delivery.shape.rows);
    SetupTransfer::Store32(h + kHeaderBytesPerPixelOffset, delivery.shape.bytesPerSample);
    SetupTransfer::Store32(h + kHeaderPayloadOffset, static_cast<std::uint32_t>(delivery.payloadBytes));
    SetupTransfer::Store32(h + kHeaderFrameNumberOffset, frameNumber);
    SetupTransfer::Store32(h + kHeaderTimestampOffset, static_cast<std::uint32_t>(sinceAttach));
    if (frameEndpoint == kWholeFrameEndpoint) delivery.phase = FrameChunk::Kind::Payload;
    this->delivery = delivery;
}

std::optional<FrameChunk> CameraModel::NextChunk(std::uint8_t endpoint, std::size_t length,
                                                 FrameClock::Clock::time_point now) {
    if (endpoint != frameEndpoint) return std::nullopt;
    if (!delivery) {
        const auto frameNumber = clock.TakeFrame(now);
        if (!frameNumber) return std::nullopt;
        if (dropHeaders > 0) {
            --dropHeaders;
            return std::nullopt;
        }
        StartDelivery(*frameNumber, now);
    }
    return delivery->phase == FrameChunk::Kind::Header ? TakeHeader(length) : TakePayload(endpoint, length);
}

FrameChunk CameraModel::TakeHeader(std::size_t length) {
    Delivery& d = *delivery;
    FrameChunk chunk;
    chunk.kind = FrameChunk::Kind::Header;
    chunk.header = d.header;
    chunk.headerOffset = d.headerSent;
    chunk.count = std::min(length, d.header.size() - d.headerSent);
    d.headerSent += chunk.count;
    if (d.headerSent == d.header.size()) {
        d.phase = FrameChunk::Kind::Payload;
        if (d.payloadBytes == 0) {
            ++framesSent;
            delivery.reset();
        }
    }
    return chunk;
}

FrameChunk CameraModel::TakePayload(std::uint8_t endpoint, std::size_t length) {
    Delivery& d = *delivery;
    FrameChunk chunk;
    if (failPayloads > 0) {
        --failPayloads;
        delivery.reset();
        return chunk;
    }
    chunk.kind = FrameChunk::Kind::Payload;
    chunk.shape = d.shape;
    chunk.payloadOffset = d.payloadSent;
    // The whole-frame endpoint sends the frame the host asks for in one transfer: its geometry
    // lives in the sensor chip, which this board does not model.
    if (endpoint == kWholeFrameEndpoint) d.payloadBytes = std::min(length, kMaxPayload);
    chunk.count = std::min(length, d.payloadBytes - d.payloadSent);
    d.payloadSent += chunk.count;
    if (d.payloadSent == d.payloadBytes) {
        ++framesSent;
        delivery.reset();
    }
    return chunk;
}

}  // namespace kelvra::sim
