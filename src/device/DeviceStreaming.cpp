// Streaming side of the device object: stopping a stream and resetting the transfer path. The
// acquisition thread, the frame ring and the video format are not built yet: the operations that
// need them report failure.
#include "device/CKelvraU3G5Base.h"

#include "usb/CKelvCy3Cam.h"

namespace {

constexpr int32_t kProductSingleTransfer = 0x3042;
constexpr int32_t kProductP30C0 = 0x30C0;
constexpr int32_t kProductP3150 = 0x3150;
constexpr uint16_t kPipeResetFirmware = 0x10FF;  // firmware above this wants its bulk pipe reset
constexpr uint8_t kFrameEndpoint = 0x81;
constexpr uint8_t kFpgaTransferReset = 108;
constexpr uint8_t kFpgaTransferResetAlternate = 150;  // boards with the second register map
constexpr uint8_t kFpgaTransferMode = 104;
constexpr uint8_t kFpgaFrameCounter = 8;

bool UsesAlternateRegisterMap(int32_t productId) { return productId == 0x31E0 || productId == 0x32D0; }

}  // namespace

void CKelvraU3G5Base::ReleaseFrameBuffers() {
    transferBuffer.reset();
    transferBufferSize = 0;
    for (auto& slot : frameRing) slot.reset();
    frameBytes = 0;
}

void CKelvraU3G5Base::PulseTransferReset() {
    const uint8_t reg = UsesAlternateRegisterMap(productId) ? kFpgaTransferResetAlternate : kFpgaTransferReset;
    controller->WriteFpgaRegister(reg, 1);
    Sleep(1);
    controller->WriteFpgaRegister(reg, 0);
    Sleep(1);
}

int32_t CKelvraU3G5Base::StopStreaming() {
    if (running) {
        running = 0;
        WaitForSingleObject(threadEndEvent, INFINITE);
    }
    if (threadHandle != nullptr) {
        WaitForSingleObject(threadHandle, 3000);
        CloseHandle(threadHandle);
        threadHandle = nullptr;
    }
    Sleep(1);
    if (threadEndEvent != nullptr) {
        CloseHandle(threadEndEvent);
        threadEndEvent = nullptr;
    }
    if (frameEvent != nullptr) {
        SetEvent(frameEvent);  // releases a caller still waiting for a frame
        CloseHandle(frameEvent);
        frameEvent = nullptr;
    }
    ResetTransfer();
    Sleep(5);
    streamMode = 0;
    return 1;
}

int32_t CKelvraU3G5Base::ResetTransfer() {
    if (!controller) return 0;
    if (productId == kProductSingleTransfer) {
        controller->ResetPort();
    } else {
        const uint16_t firmware = static_cast<uint16_t>(deviceInfo[24] | deviceInfo[25] << 8);
        if (firmware > kPipeResetFirmware) controller->ResetPipe(kFrameEndpoint);
        if (productId != kProductP30C0) PulseTransferReset();
        controller->WriteFpgaRegister(kFpgaTransferMode, 2);
        if (productId == kProductP3150) Sleep(100);
    }
    controller->ResetStream();
    return 1;
}

int32_t CKelvraU3G5Base::ReadFrameCounter() {
    uint8_t counter = 0;
    if (!controller || !controller->ReadFpgaRegister(kFpgaFrameCounter, &counter)) return 0;
    lastFrameCounter = counter;
    return 1;
}

int32_t CKelvraU3G5Base::SetTransferTimeout(uint32_t milliseconds) {
    transferTimeout = milliseconds;
    return 1;
}

int32_t CKelvraU3G5Base::Reserved32() { return -1; }
int32_t CKelvraU3G5Base::Reserved37() { return 0; }

// Not built yet (streaming, frame ring and video format): each reports failure.
int32_t CKelvraU3G5Base::StartStreaming(uint32_t) { return 0; }
int32_t CKelvraU3G5Base::CopyFrame(uint8_t*, uint32_t, int32_t, int32_t) { return 0; }
int32_t CKelvraU3G5Base::SetStreamMode(uint32_t) { return 0; }
int32_t CKelvraU3G5Base::StreamLoop() { return 0; }
int32_t CKelvraU3G5Base::StreamLoopSingleTransfer() { return 0; }
int32_t CKelvraU3G5Base::ApplyImageSize() { return 0; }
int32_t CKelvraU3G5Base::CaptureSingleFrame() { return 2; }
int32_t CKelvraU3G5Base::CopyLatestFrame(uint8_t*, int32_t) { return -2; }
int32_t CKelvraU3G5Base::WaitFrame(uint32_t) { return 2; }
int32_t CKelvraU3G5Base::CopyNextFrame(uint8_t*, int32_t) { return 0; }
int32_t CKelvraU3G5Base::SetDataWidth(uint32_t) { return 0; }
int32_t CKelvraU3G5Base::SetClockMode(int32_t) { return 0; }
int32_t CKelvraU3G5Base::SetVideoFormat(int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }
