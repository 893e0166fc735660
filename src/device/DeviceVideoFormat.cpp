// Video format of the device object: how the session's window becomes the sensor's readout
// window, the camera FPGA's image size and timing registers and the sizes of the frame buffers,
// plus the pixel transfer width and the sensor clock.
#include "device/CKelvraU3G5Base.h"

#include "device/ProductIds.h"
#include "sensors/SensorBase.h"
#include "usb/CKelvCy3Cam.h"

#include <cstdint>
#include <limits>
#include <new>

namespace {

constexpr int kBufferMargin = 128;          // rows and columns of slack around the window
constexpr uint64_t kBufferGranule = 8192;
constexpr int kSuperSpeed = 4;
constexpr int32_t kHighClock = 2;
constexpr int32_t kNormalClock = 0;

constexpr uint8_t kFpgaWidthLow = 68;
constexpr uint8_t kFpgaHeightLow = 64;
constexpr uint8_t kFpgaAltWidthLow = 156;
constexpr uint8_t kFpgaAltHeightLow = 154;
constexpr uint8_t kFpgaLineTiming = 72;   // 72-73
constexpr uint8_t kFpgaPixelTiming = 76;  // 76-77
constexpr uint8_t kFpgaDataWidth = 60;
constexpr uint8_t kFpgaTripleDataWidth = 61;
constexpr uint8_t kFpgaAltDataWidth = 163;

bool UsesAlternateRegisterMap(int32_t productId) { return productId == 0x31E0 || productId == 0x32D0; }

// Boards whose sensor driver sets the sensor's own bit depth before the board's width register.
bool SetsSensorBitDepth(int32_t productId) {
    switch (productId) {
    case 0x3100: case 0x31B0: case 0x31B4: case 0x31C0: case 0x31C4: case 0x3260: case 0x3270:
    case 0x3280: case 0x3290: case 0x32A0: case 0x32E0: case 0x32F0: case 0x3300:
        return true;
    default:
        return false;
    }
}

struct TimingWords {
    int32_t line;
    int32_t pixel;
};

}  // namespace

int32_t CKelvraU3G5Base::SetVideoFormat(int32_t startX, int32_t startY, int32_t width, int32_t height,
                                        int32_t subsampleMode) {
    if (!sensor) return 0;
    const SensorParameters& current = sensor->Parameters();
    if (current.windowX == startX && current.windowY == startY && current.windowWidth == width &&
        current.windowHeight == height && current.windowMode == subsampleMode)
        return 1;
    if (!sensor->SetWindow(startX, width, startY, height, subsampleMode)) return 0;
    // The driver keeps the window as it actually applied it (it may round); that is what the
    // buffers and registers are sized from at the next ApplyImageSize.
    geometryDirty = 1;
    return 1;
}

void CKelvraU3G5Base::WriteWordRegisters(uint8_t lowRegister, int32_t value) {
    controller->WriteFpgaRegister(lowRegister, static_cast<uint8_t>(value & 0xFF));
    controller->WriteFpgaRegister(static_cast<uint8_t>(lowRegister + 1), static_cast<uint8_t>((value >> 8) & 0xFF));
}

void CKelvraU3G5Base::WriteImageSizeRegisters(int32_t width, int32_t height) {
    const bool alternate = UsesAlternateRegisterMap(productId);
    WriteWordRegisters(alternate ? kFpgaAltWidthLow : kFpgaWidthLow, width);
    WriteWordRegisters(alternate ? kFpgaAltHeightLow : kFpgaHeightLow, height);
}

void CKelvraU3G5Base::WriteTimingRegisters(const SensorParameters& geometry) {
    const int32_t fullWidth = geometry.sensorWidth;
    const int32_t fullHeight = geometry.sensorHeight;
    const int32_t sx = geometry.windowX;
    const int32_t sy = geometry.windowY;
    const int32_t w = geometry.windowWidth;
    const int32_t h = geometry.windowHeight;
    const int32_t s = geometry.windowMode;
    // The readout option's flag is whether the driver supports one at all.
    const bool flag = sensor->SupportsReadoutOption() != 0;
    const int32_t option = sensor->ReadoutOptionValue();
    auto write = [this](TimingWords words) {
        WriteWordRegisters(kFpgaLineTiming, words.line);
        WriteWordRegisters(kFpgaPixelTiming, words.pixel);
    };
    switch (productId) {
    case 0x3020:
        Sleep(200);
        break;
    case 0x30B0:
        controller->WriteFpgaRegister(64, 0xC0);
        Sleep(1);
        break;
    case 0x30C0:
        controller->WriteFpgaRegister(64, 0x22);
        Sleep(1);
        PulseTransferReset();
        break;
    case 0x30F0: {
        uint8_t revision = 0;
        controller->ReadFpgaRegister(17, &revision);
        write(revision >= 19 ? TimingWords{31, 12} : TimingWords{0, 0});
        break;
    }
    case 0x3100:
        write({11, 0});
        controller->WriteFpgaRegister(104, 0);
        break;
    case 0x3130: case 0x31E0: case 0x32D0:
        write({20, 136});
        break;
    case 0x31B0: case 0x31B4: case 0x32A0:
        write({11, 0});
        break;
    case 0x31C0:
        write(s == 1 ? TimingWords{11, 0} : TimingWords{12, fullWidth - sx - w});
        break;
    case 0x31C4:
        write({s == 1 ? 11 : 12, 0});
        break;
    case 0x31F0:
        write(s == 0 ? TimingWords{sy + (option == 1 ? 41 : 40), sx + 64} : TimingWords{sy + 14, sx + 32});
        break;
    case 0x3260: case 0x3270: case 0x3280: case 0x3290:
        if (s == 1) {
            write({23, flag ? 52 : 4});
        } else {
            write({s == 0 && h == fullHeight ? 25 : 21, flag ? 104 : 8});
        }
        break;
    case 0x32B0:
        write({39, 79});
        PulseTransferReset();
        break;
    case 0x32C0:
        write({10, 32});
        break;
    case 0x32E0: case 0x32F0:
        write({s != 0 ? 36 : 68, 0});
        break;
    case 0x3300:
        if (s != 0) {
            write({option == 1 ? 11 : 15, 4});
        } else {
            const bool full = w == fullWidth && h == fullHeight;
            write({full && option != 1 ? 19 : 11, w == fullWidth ? 8 : 0});
        }
        break;
    default:
        break;
    }
}

uint32_t CKelvraU3G5Base::SamplesPerPixel() const { return productId == kProductTripleSample ? 3 : 1; }

uint32_t CKelvraU3G5Base::BytesPerPixel() const { return (dataWidth != 0 ? 2 : 1) * SamplesPerPixel(); }

int32_t CKelvraU3G5Base::ApplyImageSize() {
    // The acquisition thread writes into the buffers about to be replaced.
    if (running.load()) StopStreaming();
    transferBuffer.reset();
    transferBufferSize = 0;
    if (!sensor) return 0;
    const SensorParameters& geometry = sensor->Parameters();
    const int64_t w = geometry.windowWidth;
    const int64_t h = geometry.windowHeight;
    if (w <= 0 || h <= 0) return 0;
    const uint64_t padded = static_cast<uint64_t>((h + kBufferMargin) * (w + kBufferMargin) * 2);
    const uint64_t bufferSize = (padded + kBufferGranule - 1) / kBufferGranule * kBufferGranule * SamplesPerPixel();
    const uint64_t bytes = static_cast<uint64_t>(w * h) * BytesPerPixel();
    // Sizes travel in 32-bit fields of the transfer record: a window beyond them is refused.
    if (bufferSize > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return 0;
    transferBuffer.reset(new (std::nothrow) uint8_t[bufferSize]());
    if (!transferBuffer || !frameRing.Allocate(bufferSize)) {
        ReleaseFrameBuffers();
        return 0;
    }
    transferBufferSize = static_cast<int32_t>(bufferSize);
    frameBytes = static_cast<uint32_t>(bytes);
    // Frames not yet taken went with the old buffers: none is new any more.
    ringReadIndex.store(frameRing.FramesStored());
    if (productId == kProductSingleTransfer) return 0;
    WriteImageSizeRegisters(static_cast<int32_t>(w), static_cast<int32_t>(h));
    WriteTimingRegisters(geometry);
    geometryDirty = 0;
    return 1;
}

int32_t CKelvraU3G5Base::SetDataWidthRegister(bool twoBytes) {
    if (productId == kProductSingleTransfer) return controller->WriteModeByte(twoBytes ? 1 : 0) ? 1 : 0;
    return controller->WriteFpgaRegister(kFpgaDataWidth, twoBytes ? 2 : 1) ? 1 : 0;
}

int32_t CKelvraU3G5Base::StoreDataWidth(uint32_t code) {
    if (dataWidth == code) return 1;
    dataWidth = code;
    return ApplyImageSize();
}

int32_t CKelvraU3G5Base::SetDataWidth(uint32_t code) {
    if (!controller) return 0;
    if (SetsSensorBitDepth(productId) && sensor) {
        sensor->SetBitDepth(static_cast<int32_t>(code));
    } else if (productId == kProductTripleSample) {
        if (code > 2) return 0;
        if (controller->WriteFpgaRegister(kFpgaTripleDataWidth, static_cast<uint8_t>(code))) {
            dataWidth = code != 0 ? 1 : 0;
            return ApplyImageSize();
        }
    } else if (UsesAlternateRegisterMap(productId)) {
        if (controller->WriteFpgaRegister(kFpgaAltDataWidth, code == 1 ? 2 : 1)) {
            dataWidth = code != 0 ? 1 : 0;
            return ApplyImageSize();
        }
    }
    // The 880HQLN transfers two bytes per pixel whatever the caller asks for.
    const bool twoBytes = code == 1 || productId == kProduct880HQLN;
    if (!SetDataWidthRegister(twoBytes)) return 0;
    return StoreDataWidth(twoBytes ? 1 : code);
}

int32_t CKelvraU3G5Base::SetClockMode(int32_t mode) {
    if (!sensor) return 0;
    if (mode == kHighClock && productId != kProductSingleTransfer && controller) {
        // A driver that does not report the speed leaves this as it is: no downgrade then.
        int speed = kSuperSpeed;
        if (controller->GetBusSpeed(&speed) && speed != kSuperSpeed) mode = kNormalClock;
    }
    return sensor->SetHalfClock(mode);
}
