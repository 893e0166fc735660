// Everything behind a simulated camera's USB interface: the FX3 firmware's vendor requests, the
// board, the frame clock and the frame now on its way to the host. Not thread-safe: the owning
// Camera serialises every call.
#pragma once

#include "Board.h"
#include "CameraLog.h"
#include "FrameClock.h"
#include "SetupTransfer.h"

#include <map>
#include <optional>
#include <vector>

namespace kelvra::sim {

struct ControlResult {
    bool accepted = false;
    std::vector<std::uint8_t> dataIn;  // answered bytes of a device-to-host request
    std::size_t dataOutCount = 0;      // bytes the camera took of a host-to-device request
};

// One bulk-in transfer's worth of a frame.
struct FrameChunk {
    enum class Kind { Header, Payload, Failure };
    Kind kind = Kind::Failure;
    std::array<std::uint8_t, 64> header{};  // Header: the bytes, from headerOffset
    std::size_t headerOffset = 0;
    FrameShape shape;  // Payload: what to paint
    std::size_t payloadOffset = 0;
    std::size_t count = 0;
};

class CameraModel final : private FpgaObserver {
public:
    static constexpr std::uint8_t kHeaderEndpoint = 0x81;
    static constexpr std::uint8_t kWholeFrameEndpoint = 0x83;
    static constexpr std::size_t kMaxPayload = 64u << 20;  // what the FPGA can hold of one frame
    static constexpr std::uint32_t kSuperSpeed = 4;

    CameraModel(int id, std::uint16_t vendorId, std::uint16_t productId, FrameClock::Clock::time_point now);

    ControlResult Control(const SetupTransfer& setup, std::span<const std::uint8_t> data,
                          FrameClock::Clock::time_point now);

    // The next piece of data a read of `length` bytes on the endpoint gets, if any is there.
    std::optional<FrameChunk> NextChunk(std::uint8_t endpoint, std::size_t length, FrameClock::Clock::time_point now);
    std::optional<FrameClock::Clock::time_point> NextFrameTime() const;
    // The endpoint this camera sends its frames on (0x83 for the single-transfer model).
    bool IsFrameEndpoint(std::uint8_t endpoint) const { return endpoint == frameEndpoint; }

    // The FPGA's transfer logic starts over: the frame on its way and an armed request are dropped.
    void ResetTransfer();

    void Trigger() { clock.Trigger(); }
    void SetFrameRate(int framesPerSecond, FrameClock::Clock::time_point now) {
        clock.SetFrameRate(framesPerSecond, now);
    }
    void SetScene(int scene, int level);
    // False for an unknown fault, or a head fault on a camera without the head.
    bool InjectFault(int fault, int count);

    long FramesSent() const { return framesSent; }
    std::uint32_t FrameCounter(FrameClock::Clock::time_point now) { return clock.Counter(now); }
    Board& GetBoard() { return board; }
    CameraLog& Log() { return log; }
    InfoRecord& Info(int which) { return which == 1 ? info1 : info2; }
    void SetBusSpeed(std::uint32_t code) { busSpeed = code; }
    std::uint32_t BusSpeed() const { return busSpeed; }
    void SetReadyState(std::uint8_t state) { readyState = state; }

private:
    struct Delivery {
        FrameChunk::Kind phase = FrameChunk::Kind::Header;
        std::array<std::uint8_t, 64> header{};
        std::size_t headerSent = 0;
        FrameShape shape;
        std::size_t payloadBytes = 0;
        std::size_t payloadSent = 0;
    };

    std::uint16_t FrameCounter() override;
    void OnFpgaWrite(std::uint8_t reg, std::uint16_t oldValue, std::uint16_t newValue) override;

    bool HandleRequest(const SetupTransfer& setup, std::span<const std::uint8_t> data, ControlResult& result);
    void StartDelivery(std::uint32_t frameNumber, FrameClock::Clock::time_point now);
    FrameChunk TakeHeader(std::size_t length);
    FrameChunk TakePayload(std::uint8_t endpoint, std::size_t length);

    CameraLog log;
    FrameClock clock;
    Board board;
    FrameClock::Clock::time_point attached;
    InfoRecord info1{};
    InfoRecord info2{};
    std::map<std::uint16_t, std::uint32_t> registers32;    // requests 0xD0/0xD1
    std::map<std::uint16_t, std::uint16_t> registerWords;  // requests 0x3E/0x3F
    std::uint8_t modeByte = 0;
    std::uint8_t readyState = 1;
    std::uint32_t busSpeed = kSuperSpeed;
    std::uint8_t frameEndpoint;
    int scene = 3;
    int level = 0;
    int dropHeaders = 0;
    int failPayloads = 0;
    std::optional<Delivery> delivery;
    long framesSent = 0;
};

}  // namespace kelvra::sim
