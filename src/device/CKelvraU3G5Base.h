// The device object: the layer between a camera session and the hardware. It owns the USB
// controller and at most one sensor driver, picks the driver by the product id of the opened
// camera, and forwards every camera control to it. The slot order of the virtual operations is
// part of the design; do not reorder.
#pragma once

#include "kelvra/win32.h"
#include "device/FrameRing.h"
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

    virtual ~CKelvraU3G5Base();                                               // 1
    virtual int32_t CreateController(HWND notifyWindow, const GUID* interfaceClass); // 2
    virtual int32_t InitializeSensor();                                       // 3
    virtual int32_t CloseDevice();                                            // 4
    virtual int32_t ReadDeviceInfo(uint8_t* info);                            // 5
    virtual int32_t GetSensorParameters(SensorParameters* record);            // 6
    virtual int32_t ReadDeviceInfoEx(uint8_t* info);                          // 7
    virtual int32_t ReopenDevice(uint32_t deviceNumber);                      // 8
    virtual int32_t OpenDevice(uint32_t deviceNumber);                        // 9
    virtual int32_t Reserved10();                                             // 10
    virtual int32_t IsDevicePresent(uint32_t deviceNumber);                   // 11
    virtual int32_t CountDevices(int32_t productId);                          // 12
    virtual int32_t GetDeviceName(int32_t tableIndex, char* text, size_t capacity); // 13
    virtual int32_t SetProductId(int32_t productId);                          // 14
    virtual int32_t GetProductId();                                           // 15
    virtual int32_t GetTableVendorId(int32_t tableIndex);                     // 16
    virtual int32_t GetTableProductId(int32_t tableIndex);                    // 17
    virtual int32_t GetTableInstance(int32_t tableIndex);                     // 18
    virtual int32_t IsSingleTransferModel();                                  // 19
    virtual int32_t GetDeviceNumber();                                        // 20
    virtual int32_t StartStreaming(uint32_t streamMode);                      // 21
    virtual int32_t StopStreaming();                                          // 22
    virtual int32_t CopyFrame(uint8_t* buffer, uint32_t size, int32_t fromFirstSlot,
                              int32_t keepOrder);                             // 23
    virtual int32_t SetStreamMode(uint32_t streamMode);                       // 24
    virtual int32_t ResetTransfer();                                          // 25
    virtual int32_t StreamLoop();                                             // 26
    virtual int32_t StreamLoopSingleTransfer();                               // 27
    virtual int32_t ApplyImageSize();                                         // 28
    virtual int32_t GetMaxDevices();                                          // 29
    virtual int32_t ReadFrameCounter();                                       // 30
    virtual int32_t CaptureSingleFrame();                                     // 31
    virtual int32_t Reserved32();                                             // 32
    virtual int32_t CopyLatestFrame(uint8_t* buffer, int32_t keepOrder);      // 33
    virtual int32_t SetTransferTimeout(uint32_t milliseconds);                // 34
    virtual int32_t WaitFrame(uint32_t milliseconds);                         // 35
    virtual int32_t CopyNextFrame(uint8_t* buffer, int32_t keepOrder);        // 36
    virtual int32_t Reserved37();                                             // 37
    virtual int32_t SetDataWidth(uint32_t widthCode);                         // 38
    virtual int32_t SetClockMode(int32_t mode);                               // 39
    virtual int32_t GetClockMode(int32_t* mode);                              // 40
    virtual int32_t SetVideoFormat(int32_t startX, int32_t startY, int32_t width, int32_t height,
                                   int32_t subsampleMode);                    // 41
    virtual int32_t GetVideoFormat(int32_t* startX, int32_t* startY, int32_t* width, int32_t* height,
                                   int32_t* subsampleMode);                   // 42
    virtual int32_t SetMirrorH(int32_t on);                                   // 43
    virtual int32_t SetMirrorV(int32_t on);                                   // 44
    virtual int32_t GetMirrorH();                                             // 45
    virtual int32_t GetMirrorV();                                             // 46
    virtual int32_t GetMirrorHDefault();                                      // 47
    virtual int32_t GetMirrorVDefault();                                      // 48
    virtual int32_t IsMirrorHSupported();                                     // 49
    virtual int32_t IsMirrorVSupported();                                     // 50
    virtual int32_t SetTriggerMode(int32_t mode, int32_t force);              // 51
    virtual int32_t GetTriggerMode(int32_t* mode);                            // 52
    virtual int32_t WriteSromId(uint16_t address, uint8_t value);             // 53
    virtual int32_t ReadSromId(uint16_t address, uint8_t* value);             // 54
    virtual int32_t IsWidthAdjustable();                                      // 55
    virtual int32_t IsHeightAdjustable();                                     // 56
    virtual int32_t GetSensorWidth();                                         // 57
    virtual int32_t GetSensorHeight();                                        // 58
    virtual int32_t GetEffectiveWidth();                                      // 59
    virtual int32_t GetEffectiveHeight();                                     // 60
    virtual int32_t GetEffectiveStartX();                                     // 61
    virtual int32_t GetEffectiveStartY();                                     // 62
    virtual int32_t SetGlobalGain(int32_t value);                             // 63
    virtual int32_t GetGlobalGain();                                          // 64
    virtual int32_t GetGlobalGainMin();                                       // 65
    virtual int32_t GetGlobalGainMax();                                       // 66
    virtual int32_t GetGlobalGainDefault();                                   // 67
    virtual int32_t SetExposureTime(int32_t value);                           // 68
    virtual int32_t GetExposureTime();                                        // 69
    virtual int32_t GetExposureTimeMin();                                     // 70
    virtual int32_t GetExposureTimeMax();                                     // 71
    virtual int32_t GetExposureTimeDefault();                                 // 72
    virtual int32_t SetIntegrationRaw(int32_t value);                         // 73
    virtual int32_t GetIntegrationRaw();                                      // 74
    virtual int32_t GetIntegrationRawMin();                                   // 75
    virtual int32_t GetIntegrationRawMax();                                   // 76
    virtual int32_t GetIntegrationRawDefault();                               // 77
    virtual int32_t HasRealExposure();                                        // 78
    virtual int32_t SetRealExposure(double seconds);                          // 79
    virtual int32_t GetRealExposure(double* seconds);                         // 80
    virtual int32_t GetRealExposureMin(double* seconds);                      // 81
    virtual int32_t GetRealExposureMax(double* seconds);                      // 82
    virtual int32_t GetRealExposureDefault(double* seconds);                  // 83
    virtual int32_t SetChannelGain(int32_t channel, int32_t value);           // 84
    virtual int32_t GetChannelGain(int32_t channel);                          // 85
    virtual int32_t GetChannelGainMin();                                      // 86
    virtual int32_t GetChannelGainMax();                                      // 87
    virtual int32_t GetChannelGainDefault();                                  // 88
    virtual int32_t SetChannelOffset(int32_t channel, int32_t value);         // 89
    virtual int32_t GetChannelOffset(int32_t channel);                        // 90
    virtual int32_t GetChannelOffsetMin();                                    // 91
    virtual int32_t GetChannelOffsetMax();                                    // 92
    virtual int32_t GetChannelOffsetDefault();                                // 93
    virtual int32_t SetColorGainRed(int32_t value);                           // 94
    virtual int32_t GetColorGainRed();                                        // 95
    virtual int32_t SetColorGainGreen1(int32_t value);                        // 96
    virtual int32_t GetColorGainGreen1();                                     // 97
    virtual int32_t SetColorGainGreen2(int32_t value);                        // 98
    virtual int32_t GetColorGainGreen2();                                     // 99
    virtual int32_t SetColorGainBlue(int32_t value);                          // 100
    virtual int32_t GetColorGainBlue();                                       // 101
    virtual int32_t GetColorGainMin();                                        // 102
    virtual int32_t GetColorGainMax();                                        // 103
    virtual int32_t GetColorGainDefault();                                    // 104
    virtual int32_t HasAuxLevel();                                            // 105
    virtual int32_t SetAuxLevel(int32_t value);                               // 106
    virtual int32_t GetAuxLevel();                                            // 107
    virtual int32_t GetAuxLevelMin();                                         // 108
    virtual int32_t GetAuxLevelMax();                                         // 109
    virtual int32_t GetAuxLevelDefault();                                     // 110
    virtual int32_t WriteSensorRegister(uint32_t address, uint32_t value);    // 111
    virtual int32_t ReadSensorRegister(uint32_t address, int32_t* success);   // 112
    virtual int32_t WriteFpgaRegister(uint32_t address, uint32_t value);      // 113
    virtual int32_t ReadFpgaRegister(uint32_t address, int32_t* success);     // 114
    virtual int32_t Reserved115();                                            // 115
    virtual int32_t Reserved116();                                            // 116
    virtual int32_t SensorPreviewHook();                                      // 117
    virtual void SensorStreamHook();                                          // 118
    virtual int32_t SetSamplingRate(int32_t sensorIndex, int32_t value, int32_t* rate); // 119
    virtual int32_t HasModeValue();                                           // 120
    virtual int32_t SetModeValue(int32_t value);                              // 121
    virtual int32_t GetModeValue();                                           // 122
    virtual int32_t WriteSromSetting(int32_t value);                          // 123
    virtual int32_t ReadSromSetting(uint8_t* value);                          // 124
    virtual int32_t HasModeSwitch();                                          // 125
    virtual int32_t GetModeSwitch();                                          // 126
    virtual int32_t SetModeSwitch(int32_t on);                                // 127
    virtual int32_t HasLevel();                                               // 128
    virtual int32_t SetLevel(int32_t value);                                  // 129
    virtual int32_t GetLevel(int32_t* value);                                 // 130
    virtual int32_t GetLevelMin();                                            // 131
    virtual int32_t GetLevelMax();                                            // 132
    virtual int32_t ReceiveSensorText(char* buffer, int32_t length);          // 133
    virtual int32_t SendSensorText(const char* text, int32_t length);         // 134
    virtual int32_t HasPeltier();                                             // 135
    virtual int32_t GetPeltier();                                             // 136
    virtual int32_t SetPeltier(int32_t state);                                // 137
    virtual int32_t HasTemperature();                                         // 138
    virtual int32_t GetTemperature(double* degrees);                          // 139
    virtual int32_t MonitorAvailable();                                       // 140
    virtual int32_t ReadMonitorStatus(int32_t* status);                       // 141
    virtual int32_t SetMonitorMode(int32_t mode);                             // 142
    virtual int32_t HasStartOption();                                         // 143
    virtual int32_t ReadAuxSensorRegister(int32_t* value);                    // 144
    virtual int32_t ApplyStartOption(int32_t* value);                         // 145
    virtual int32_t TargetTemperatureAvailable();                             // 146
    virtual int32_t ReservedSensorOpA();                                      // 147
    virtual int32_t ReservedSensorOpB();                                      // 148
    virtual int32_t GetTargetTemperature(int32_t* degrees);                   // 149
    virtual int32_t SetTargetTemperature(int32_t degrees);                    // 150
    virtual int32_t SetSensorMode(int32_t mode);                              // 151
    virtual int32_t GetSensorMode(int32_t* a, int32_t* b, int32_t* mode);     // 152
    virtual int32_t SetReadoutOption(int32_t value);                          // 153
    virtual int32_t ApplyReadoutOption();                                     // 154
    virtual int32_t SupportsReadoutOption();                                  // 155
    virtual int32_t HasFeatureSwitch();                                       // 156
    virtual int32_t GetFeatureSwitch();                                       // 157
    virtual int32_t SetFeatureSwitch(int32_t on);                             // 158
    virtual int32_t IsGainStepSupported();                                    // 159
    virtual int32_t GetGainStepMin(int32_t* value);                           // 160
    virtual int32_t GetGainStepMax(int32_t* value);                           // 161
    virtual int32_t GetGainStepDefault(int32_t* value);                       // 162
    virtual int32_t GetGainStep(int32_t* value);                              // 163
    virtual int32_t SetGainStep(int32_t step);                                // 164
    virtual int32_t GetGainStepLabel(int32_t step, char* label);              // 165
    virtual int32_t ModeSwitchAvailable();                                    // 166
    virtual int32_t SetSensorModeSwitch(int32_t on);                          // 167
    virtual int32_t GetSensorModeSwitch();                                    // 168

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
    int32_t CreateSensorForProduct(uint32_t deviceNumber);
    int32_t PollReadyState();
    int32_t ProductSpecificStartUp();
    void PulseTransferReset();
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
    bool StoreTransferredFrame();
    bool WaitForNewFrameCounter();
    void RestartAfterFailure();
    bool CaptureOnce(FrameRequest& frame);
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
    std::unique_ptr<uint8_t[]> transferBuffer;
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
