// The device object: the layer between a camera session and the hardware. It owns the USB
// controller and at most one sensor driver, picks the driver by the product id of the opened
// camera, and forwards every camera control to it. The virtual operations are listed, in their
// fixed slot order, in DeviceOperations.def.
#pragma once

#include "device/FrameRing.h"
#include "kelvra/win32.h"
#include "sensors/AnswerLoss.h"
#include "sensors/SensorParameters.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class CKelvCy3Cam;
class CriticalSection;
struct FrameRequest;
struct ProductRules;
class CSensorBase;

class CKelvraU3G5Base {
public:
    static constexpr int32_t kNoProductId = -1;
    static constexpr int32_t kMaxDevices = 32;
    static constexpr size_t kDeviceInfoBytes = 64;
    static constexpr uint16_t kSromSettingAddress = 0x1080;
    static constexpr int kRingSlots = FrameRing::kSlots;

    CKelvraU3G5Base();
    CKelvraU3G5Base(const CKelvraU3G5Base&) = delete;
    CKelvraU3G5Base& operator=(const CKelvraU3G5Base&) = delete;

    virtual ~CKelvraU3G5Base();

#define KELVRA_DEVICE_OP(slot, kind, result, name, parameters) KELVRA_DEVICE_##kind virtual result name parameters;
#define KELVRA_DEVICE_FORWARD(slot, kind, result, name, parameters, sensorOperation, arguments, withoutSensor) \
    KELVRA_DEVICE_OP(slot, kind, result, name, parameters)
#define KELVRA_DEVICE_CHECKED [[nodiscard]]
#define KELVRA_DEVICE_VALUE
#include "device/DeviceOperations.def"
#undef KELVRA_DEVICE_VALUE
#undef KELVRA_DEVICE_CHECKED
#undef KELVRA_DEVICE_FORWARD
#undef KELVRA_DEVICE_OP

    // WaitFrame that also returns, with kWaitStopped, as soon as stopEvent is signalled: an
    // acquisition loop told to end leaves a long frame wait at once, while the stream runs on.
    static constexpr int32_t kWaitStopped = 0;
    int32_t WaitFrameUnless(uint32_t milliseconds, HANDLE stopEvent);

    // For tests and the session: what is open right now.
    CSensorBase* Sensor() const { return sensor.get(); }
    CKelvCy3Cam* Controller() const { return controller.get(); }
    uint32_t TransferTimeout() const { return transferTimeout.load(); }
    uint32_t FrameBytes() const { return frameBytes; }
    uint32_t DataWidth() const { return dataWidth; }
    uint32_t LastFrameCounter() const { return lastFrameCounter.load(); }
    int32_t IsStreaming() const { return running.load(); }
    int32_t GeometryDirty() const { return geometryDirty; }
    const uint8_t* DeviceInfo() const { return deviceInfo; }
    static int32_t InstanceCount();

    // A run of controls that belong together (a selection's stored settings): once the camera
    // could not answer one, the rest fail unsent. Without a sensor these do nothing.
    void BeginCommandSequence();
    void EndCommandSequence();
    // Why the camera's last unanswered command got no answer; kNone without a sensor.
    AnswerLoss LastAnswerLoss() const;

protected:
    // Tests put drivers with other readout orientations, revisions or clocks behind an open camera.
    friend class DeviceTestAccess;

    // The one lock all device objects share: the instance count and enumeration with device selection.
    static CriticalSection& ClassLock();

private:
    using SensorGetter = int32_t (CSensorBase::*)(int32_t*);
    // "Get via sensor": a zero-initialised result handed to the sensor; 0 without a sensor.
    int32_t GetViaSensor(SensorGetter getter);
    // The rules of the product id set last; a plain board's for an unlisted one.
    const ProductRules& Rules() const;
    int32_t CreateSensorForProduct(uint32_t deviceNumber, int row);
    int32_t PollReadyState();
    int32_t ProductSpecificStartUp();
    void PulseTransferReset();
    // Writes an FPGA register and waits, briefly, until it reads back the value.
    bool WriteFpgaRegisterTaken(uint8_t reg, uint8_t value);
    void SynchroniseFrameCounter();
    void SetTriggerModeByFpgaVersion(int32_t mode);
    void SetTriggerModeOnSensor(int32_t mode);
    void ReleaseFrameBuffers();

    static DWORD WINAPI AcquisitionThread(LPVOID device);
    void PrepareTransfer(FrameRequest& frame) const;
    int32_t FinishStreamLoop();
    bool StreamLoopCanStart();
    // One header-and-payload transfer of the stream loop; false when either read failed.
    bool TransferOneFrame(FrameRequest& frame, uint32_t mode);
    // A ring slot for the next frame; empty only when the stream stops while readers hold
    // every free slot.
    FrameRing::Claim ClaimStreamSlot();
    // Reads the payload (or, wholeFrame, the whole frame of the single-transfer model) into slot.
    bool ReadIntoSlot(FrameRing::Claim& slot, FrameRequest& frame, bool wholeFrame, uint32_t timeoutMs);
    void PublishStreamFrame(FrameRing::Claim& slot);
    bool WaitForNewFrameCounter();
    void RestartAfterFailure();
    bool CaptureOnce(FrameRequest& frame, FrameRing::Claim& slot);
    int32_t CopyRingSlot(uint8_t* buffer, uint32_t size, bool fromFirstSlot, int32_t keepOrder, uint64_t* taken);
    // Samples the camera sends per pixel: three on converter boards, one elsewhere.
    uint32_t SamplesPerPixel() const;
    // Bytes of one pixel in a frame: its samples at one or two bytes each.
    uint32_t BytesPerPixel() const;

    bool WriteWordRegisters(uint8_t lowRegister, int32_t value);
    void WriteImageSizeRegisters(int32_t width, int32_t height);
    void WriteTimingRegisters(const SensorParameters& geometry);
    int32_t SetDataWidthRegister(bool twoBytes);
    int32_t StoreDataWidth(uint32_t code);

    uint16_t CameraFpgaVersion();
    bool ModeSwitchSupported();
    int32_t ReadModeSwitchState();

    std::unique_ptr<CKelvCy3Cam> controller;
    uint8_t deviceInfo[kDeviceInfoBytes] = {};
    // Capacity of each ring slot, into which transfers read directly.
    int32_t transferBufferSize = 0;
    std::atomic<uint32_t> streamMode{0};
    int32_t productId = kNoProductId;
    uint32_t dataWidth = 0;
    int32_t triggerMode = -1;
    FrameRing frameRing;  // owns the write index
    // Sequence number (FrameRing::FramesStored) of the last frame a reader took; a frame is new
    // while the ring has stored a later one.
    std::atomic<uint64_t> ringReadIndex{0};
    uint32_t frameBytes = 0;
    std::atomic<int32_t> transferFailed{0};
    const HANDLE frameEvent;  // auto-reset; null only when the system is out of handles
    int32_t geometryDirty = 1;
    std::unique_ptr<CSensorBase> sensor;
    std::atomic<uint32_t> lastFrameCounter{0};
    uint32_t deviceNumber = 0;
    std::atomic<uint32_t> transferTimeout{5000};
    std::atomic<int32_t> pendingExposure{0};
    std::atomic<uint32_t> pendingExposureValue{0};
    HANDLE threadHandle = nullptr;
    std::atomic<int32_t> running{0};
    HANDLE threadEndEvent = nullptr;
};
