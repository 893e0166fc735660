// Video format of the device object: how the session's window becomes the sensor's readout
// window, the camera FPGA's image size and timing registers and the sizes of the frame buffers,
// plus the pixel transfer width and the sensor clock.
#include "device/CKelvraU3G5Base.h"

#include "common/DebugLog.h"
#include "device/FpgaRegisters.h"
#include "device/ProductRules.h"
#include "sensors/SensorBase.h"
#include "usb/CKelvCy3Cam.h"

#include <cstdint>
#include <limits>
#include <new>

namespace {

constexpr int kBufferMargin = 128;  // rows and columns of slack around the window
constexpr uint64_t kBufferGranule = 8192;
constexpr int kSuperSpeed = 4;
constexpr int32_t kHighClock = 2;
constexpr int32_t kNormalClock = 0;

constexpr uint32_t kSettleMs = 200;

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

bool CKelvraU3G5Base::WriteWordRegisters(uint8_t lowRegister, int32_t value) {
    const bool low = controller->WriteFpgaRegister(lowRegister, static_cast<uint8_t>(value & 0xFF));
    const bool high =
        controller->WriteFpgaRegister(static_cast<uint8_t>(lowRegister + 1), static_cast<uint8_t>((value >> 8) & 0xFF));
    return low && high;
}

void CKelvraU3G5Base::WriteImageSizeRegisters(int32_t width, int32_t height) {
    const bool alternate = Rules().alternateRegisterMap;
    const bool widthSet = WriteWordRegisters(alternate ? fpga::kAltWidthLow : fpga::kWidthLow, width);
    const bool heightSet = WriteWordRegisters(alternate ? fpga::kAltHeightLow : fpga::kHeightLow, height);
    // The frames then arrive in the old size and fail their transfers, which the stream reports.
    if (!widthSet || !heightSet) DebugLog(LogCategory::Device, "image size registers not written");
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
    const ProductRules& rules = Rules();
    bool written = true;
    auto write = [this, &written](TimingWords words) {
        written = WriteWordRegisters(fpga::kLineTimingLow, words.line) && written;
        written = WriteWordRegisters(fpga::kPixelTimingLow, words.pixel) && written;
    };
    switch (rules.timing) {
        case TimingFamily::kNone:
            break;
        case TimingFamily::kSettle:
            Sleep(kSettleMs);
            break;
        case TimingFamily::kBoardSetup:
            written = controller->WriteFpgaRegister(fpga::kBoardSetup, rules.boardSetupValue);
            Sleep(1);
            break;
        case TimingFamily::kFixed:
            write(rules.fixedTiming);
            break;
        case TimingFamily::kByRevision: {
            uint8_t revision = 0;
            // Unread, the revision counts as 0: the early boards' zero words.
            written = controller->ReadFpgaRegister(fpga::kTimingRevision, &revision);
            write(revision >= 19 ? rules.fixedTiming : TimingWords{0, 0});
            break;
        }
        case TimingFamily::kBinnedToEdge:
            write(s == 1 ? TimingWords{11, 0} : TimingWords{12, fullWidth - sx - w});
            break;
        case TimingFamily::kBinnedLine:
            write({s == 1 ? 11 : 12, 0});
            break;
        case TimingFamily::kWindowOffset:
            write(s == 0 ? TimingWords{sy + (option == 1 ? 41 : 40), sx + 64} : TimingWords{sy + 14, sx + 32});
            break;
        case TimingFamily::kReadoutFlag:
            if (s == 1) {
                write({23, flag ? 52 : 4});
            } else {
                write({s == 0 && h == fullHeight ? 25 : 21, flag ? 104 : 8});
            }
            break;
        case TimingFamily::kBinnedLongLine:
            write({s != 0 ? 36 : 68, 0});
            break;
        case TimingFamily::kFullFrame:
            if (s != 0) {
                write({option == 1 ? 11 : 15, 4});
            } else {
                const bool full = w == fullWidth && h == fullHeight;
                write({full && option != 1 ? 19 : 11, w == fullWidth ? 8 : 0});
            }
            break;
    }
    if (rules.clearsTransferModeAfterTiming) written = controller->WriteFpgaRegister(fpga::kTransferMode, 0) && written;
    if (rules.pulsesResetAfterTiming) PulseTransferReset();
    if (!written) DebugLog(LogCategory::Device, "timing registers of product 0x%04X not all written", rules.productId);
}

uint32_t CKelvraU3G5Base::SamplesPerPixel() const { return Rules().samplesPerPixel; }

uint32_t CKelvraU3G5Base::BytesPerPixel() const { return (dataWidth != 0 ? 2 : 1) * SamplesPerPixel(); }

int32_t CKelvraU3G5Base::ApplyImageSize() {
    // The acquisition thread writes into the buffers about to be replaced.
    if (running.load()) StopStreaming();
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
    if (!frameRing.Allocate(bufferSize)) {
        ReleaseFrameBuffers();
        return 0;
    }
    transferBufferSize = static_cast<int32_t>(bufferSize);
    frameBytes = static_cast<uint32_t>(bytes);
    // Frames not yet taken went with the old buffers: none is new any more.
    ringReadIndex.store(frameRing.FramesStored());
    if (Rules().singleTransfer) return 0;
    WriteImageSizeRegisters(static_cast<int32_t>(w), static_cast<int32_t>(h));
    WriteTimingRegisters(geometry);
    geometryDirty = 0;
    return 1;
}

int32_t CKelvraU3G5Base::SetDataWidthRegister(bool twoBytes) {
    if (Rules().singleTransfer) return controller->WriteModeByte(twoBytes ? 1 : 0) ? 1 : 0;
    return controller->WriteFpgaRegister(fpga::kDataWidth, twoBytes ? 2 : 1) ? 1 : 0;
}

int32_t CKelvraU3G5Base::StoreDataWidth(uint32_t code) {
    if (dataWidth == code) return 1;
    dataWidth = code;
    return ApplyImageSize();
}

int32_t CKelvraU3G5Base::SetDataWidth(uint32_t code) {
    if (!controller) return 0;
    const ProductRules& rules = Rules();
    if (rules.setsSensorBitDepth && sensor) {
        // The board's register below is what the transfer follows; a sensor left at its depth
        // shows in the picture, not in the frame size.
        if (!sensor->SetBitDepth(static_cast<int32_t>(code))) DebugLog(LogCategory::Device, "sensor bit depth refused");
    } else if (rules.samplesPerPixel == 3) {
        if (code > 2) return 0;
        if (controller->WriteFpgaRegister(fpga::kTripleDataWidth, static_cast<uint8_t>(code))) {
            dataWidth = code != 0 ? 1 : 0;
            return ApplyImageSize();
        }
    } else if (rules.alternateRegisterMap) {
        if (controller->WriteFpgaRegister(fpga::kAltDataWidth, code == 1 ? 2 : 1)) {
            dataWidth = code != 0 ? 1 : 0;
            return ApplyImageSize();
        }
    }
    // The 880HQLN transfers two bytes per pixel whatever the caller asks for.
    const bool twoBytes = code == 1 || rules.alwaysTwoBytes;
    if (!SetDataWidthRegister(twoBytes)) return 0;
    return StoreDataWidth(twoBytes ? 1 : code);
}

int32_t CKelvraU3G5Base::SetClockMode(int32_t mode) {
    if (!sensor) return 0;
    if (mode == kHighClock && !Rules().singleTransfer && controller) {
        // A driver that does not report the speed leaves this as it is: no downgrade then.
        int speed = kSuperSpeed;
        if (controller->GetBusSpeed(&speed) && speed != kSuperSpeed) mode = kNormalClock;
    }
    return sensor->SetHalfClock(mode);
}
