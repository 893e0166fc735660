// The acquisition modes of a session: the continuous preview and the trigger loop run by the
// worker, single frames taken on the application's thread, and the capture set-up they share.
#include "common/DebugLog.h"
#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "imaging/Converters.h"
#include "session/CKelvra.h"

#include <cstring>

namespace {

enum AcquisitionMode : int32_t { kIdle = 0, kPreview = 1, kCapture = 2, kTrigger = 3 };
enum StreamMode : uint32_t { kContinuous = 0, kSingleFrame = 1, kTriggered = 2 };
constexpr int32_t kDeviceGone = 1;
constexpr int32_t kFrameReady = 3;
constexpr uint32_t kPreviewFrameWaitMs = 3000;
constexpr uint32_t kTriggerFrameWaitMs = 60000;
constexpr int32_t kTriggerTimeoutMs = 10000;
constexpr int32_t kRateIntervalMs = 1000;

constexpr int32_t kBitsByColourMode[6] = {8, 16, 24, 32, 48, 64};

bool TwoByteRaw(int32_t colourMode) { return colourMode == 1 || colourMode == 4 || colourMode == 5; }

}  // namespace

DibImage* CKelvra::RawImage() const { return TwoByteRaw(format.colourMode) ? images.raw16.get() : images.raw8.get(); }

DibImage* CKelvra::OutputImage() const {
    switch (format.colourMode) {
        case 0:
            return images.raw8.get();
        case 1:
            return images.raw16.get();
        case 2:
            return images.rgb24.get();
        case 3:
            return images.rgb32.get();
        case 4:
            return images.rgb48.get();
        case 5:
            return images.rgb64.get();
        default:
            return nullptr;
    }
}

bool CKelvra::CaptureWindowValid() const {
    const CaptureFormat& f = format;
    if (f.width < 0 || f.height < 0 || f.xOffset < 0 || f.yOffset < 0) return false;
    if (f.width > kSensorWidth || f.height > kSensorHeight || f.xOffset > kSensorWidth || f.yOffset > kSensorHeight)
        return false;
    if (f.xOffset + f.width > kSensorWidth || f.yOffset + f.height > kSensorHeight) return false;
    for (int32_t refused : {1, 2, 3, 17, 18, 19}) {
        if (f.subSample == refused) return false;
    }
    return true;
}

bool CKelvra::MakeCaptureImages() {
    const int32_t mode = format.colourMode;
    const int32_t w = format.width;
    const int32_t h = format.height;
    if (mode < 0 || mode > 5) return false;
    if (mode <= 3) {
        if (!CreateImage(images.raw8.get(), w, h, 8) || !SetImagePalette(images.raw8.get(), 0, nullptr, 0, 256))
            return false;
    }
    if (TwoByteRaw(mode) && !CreateImage(images.raw16.get(), w, h, 16)) return false;
    // Every colour mode but 16-bit grey shows its frames through the 24-bit image.
    if (mode != 1 && !CreateImage(images.rgb24.get(), w, h, 24)) return false;
    if (mode == 3 && !CreateImage(images.rgb32.get(), w, h, 32)) return false;
    if (mode == 4 && !CreateImage(images.rgb48.get(), w, h, 48)) return false;
    if (mode == 5 && !CreateImage(images.rgb64.get(), w, h, 64)) return false;
    return CopyImageFormat(images.filterCopy.get(), OutputImage()) && pipeline.Prepare(*RawImage());
}

void CKelvra::ReapplyCameraSettings() {
    // The device answers 0 for a control the camera does not have as for one it refused: only
    // the controls the sensor offers are sent, and a refusal costs this frame nothing, so it is
    // only logged.
    SensorParameters offered{};
    if (!device->GetSensorParameters(&offered)) return;
    const auto send = [](const char* setting, bool offeredHere, int32_t sent) {
        if (offeredHere && !sent) DebugLog(LogCategory::Session, "capture set-up: %s not taken", setting);
    };
    // The device's vertical mirror is the sensor's horizontal one and the other way round.
    if (offered.mirrorHSupported) send("vertical mirror", true, device->SetMirrorV(camera.mirrorV));
    if (offered.mirrorVSupported) send("horizontal mirror", true, device->SetMirrorH(camera.mirrorH));
    send("trigger off", true, device->SetTriggerMode(0, 1));
    if (offered.gainSupported) send("gain", true, device->SetGlobalGain(camera.globalGain));
    if (offered.green1GainSupported) send("green 1 gain", true, device->SetColorGainGreen1(camera.colourGainGreen1));
    if (offered.redGainSupported) send("red gain", true, device->SetColorGainRed(camera.colourGainRed));
    if (offered.blueGainSupported) send("blue gain", true, device->SetColorGainBlue(camera.colourGainBlue));
    if (offered.green2GainSupported) send("green 2 gain", true, device->SetColorGainGreen2(camera.colourGainGreen2));
    if (device->HasRealExposure()) {
        send("exposure", true, device->SetRealExposure(camera.exposureMs / 1000.0));
    } else if (offered.exposureSupported) {
        send("exposure", true, device->SetExposureTime(camera.exposureLines));
    }
    camera.realExposure = camera.exposureLines * 100;
    if (device->HasStartOption()) send("start option", true, device->ApplyStartOption(nullptr));
    if (device->HasModeValue()) {
        send("gain mode reset", true, device->SetModeValue(0));
        send("gain mode", true, device->SetModeValue(camera.gainMode));
    }
    if (device->HasAuxLevel()) send("black level", true, device->SetAuxLevel(camera.blackLevel));
    send("preview hook", true, device->SensorPreviewHook());
}

bool CKelvra::CaptureSetup() {
    if (!device->IsDevicePresent(static_cast<uint32_t>(deviceNumber))) {
        RecordError(KELVRA_ERR_NO_DEVICE);
        return false;
    }
    if (!CaptureWindowValid()) {
        RecordError(KELVRA_ERR_SIZE);
        return false;
    }
    {
        // The worker is not running here, but GetImage and SaveImage on other handles' threads
        // never see these images half made either.
        CriticalSectionGuard frames(acquisition.frameLock);
        if (!MakeCaptureImages()) {
            RecordError(KELVRA_ERR_MEMORY);
            return false;
        }
    }
    const bool twoBytes = TwoByteRaw(format.colourMode);
    if (!device->SetDataWidth(twoBytes ? 1 : 0)) DebugLog(LogCategory::Session, "capture set-up: data width not taken");
    if (!device->SetVideoFormat(format.xOffset, format.yOffset, format.width, format.height, format.subSample)) {
        RecordError(KELVRA_ERR_SIZE);
        return false;
    }
    // A camera that sends other samples than the raw image holds (this one always sends two
    // bytes per pixel) cannot run the colour mode: every frame would be refused.
    if ((device->DataWidth() != 0) != twoBytes) {
        DebugLog(LogCategory::Session, "capture set-up: the camera's samples do not fit colour mode %d",
                 format.colourMode);
        RecordError(KELVRA_ERR_SIZE);
        return false;
    }
    ReapplyCameraSettings();
    if (!preview.PrepareDisplay(images, format.colourMode)) {
        RecordError(KELVRA_ERR_MEMORY);
        return false;
    }
    return true;
}

bool CKelvra::OpenPreviewWindow() {
    if (!preview.Wanted()) return true;
    if (preview.Create(this, format.width, format.height)) return true;
    RecordError(KELVRA_ERR_WINDOW);
    return false;
}

bool CKelvra::Preview() { return CallBackPreview(nullptr, nullptr, 0, 0); }

bool CKelvra::CallBackPreview(HWND window, BYTE* buffer, int32_t size, int32_t topDown) {
    if (acquisition.acquisitionState.load() == kPreview) {
        // A running preview takes the new target from its next frame on and keeps its window:
        // the worker is drawing into it.
        CriticalSectionGuard frames(acquisition.frameLock);
        SetCallbackTarget(window, buffer, size, topDown);
        return true;
    }
    SetCallbackTarget(window, buffer, size, topDown);
    if (!OpenPreviewWindow()) return false;
    if (StartPreview()) return true;
    Close();
    RecordError(KELVRA_ERR_TRANSFER);
    return false;
}

void CKelvra::SetCallbackTarget(HWND window, BYTE* buffer, int32_t size, int32_t topDown) {
    acquisition.callbackWindow = window;
    acquisition.callbackBuffer = buffer;
    acquisition.callbackBufferSize = size;
    acquisition.callbackTopDown = topDown;
}

bool CKelvra::StartPreview() {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    const int32_t state = acquisition.acquisitionState.load();
    if (state == kPreview) return true;
    if (state != kIdle) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (!CaptureSetup()) return false;
    if (!device->StartStreaming(kContinuous)) {
        StopPreview();
        RecordError(KELVRA_ERR_CAMERA_IO);
        return false;
    }
    acquisition.acquisitionState.store(kPreview);
    StartRateMeasurement();
    if (!worker.Start(&CKelvra::PreviewLoop, this)) {
        StopPreview();
        RecordError(KELVRA_ERR_THREAD);
        return false;
    }
    return true;
}

void CKelvra::StartRateMeasurement() {
    CriticalSectionGuard frames(acquisition.frameLock);
    acquisition.frameCounter = 0;
    acquisition.framesPerTenSeconds = 0;
    acquisition.rateTimer = timeGetTime();
}

bool CKelvra::StopPreview() {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    // The worker ends first: it may be reading the stream or drawing into the window, both of
    // which go away next.
    worker.StopAndJoin();
    if (acquisition.acquisitionState.exchange(kIdle) != kIdle) static_cast<void>(device->StopStreaming());
    StopRecorder();
    return true;
}

void CKelvra::StopRecorder() {
    recorder.recordRun.store(0);
    if (recorder.recordEvent != nullptr) {
        WaitForSingleObject(recorder.recordEvent, INFINITE);
        CloseHandle(recorder.recordEvent);
        recorder.recordEvent = nullptr;
    }
    if (recorder.recordThread != nullptr) {
        WaitForSingleObject(recorder.recordThread, INFINITE);
        CloseHandle(recorder.recordThread);
        recorder.recordThread = nullptr;
    }
}

bool CKelvra::Close() {
    // Stopping first: the worker draws through the window's DC until it has ended.
    if (device) {
        StopPreview();
    } else {
        RecordError(KELVRA_ERR_NOT_READY);
    }
    preview.Destroy();
    CriticalSectionGuard frames(acquisition.frameLock);
    acquisition.frameValid = 0;
    return true;
}

bool CKelvra::Capture() {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    const int32_t state = acquisition.acquisitionState.load();
    if (state == kCapture) return true;
    if (state != kIdle) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (!CaptureSetup()) return false;
    acquisition.acquisitionState.store(kCapture);
    return true;
}

bool CKelvra::ReadFrame(DibImage* raw) {
    const uint32_t capacity = static_cast<uint32_t>(raw->stride) * static_cast<uint32_t>(raw->height);
    if (!device->CopyNextFrame(raw->bits, capacity, 1)) return false;
    // The camera sends rows without padding; a DIB row is padded to four bytes.
    const int32_t rowBytes = raw->width * (raw->bitsPerPixel / 8);
    if (rowBytes != raw->stride)
        TransferImage(raw, raw->bitsPerPixel == 16 ? RepackRows16 : RepackRows8, raw, nullptr, 0, 0, nullptr, nullptr);
    return true;
}

void CKelvra::FillFrameInfo(const DibImage* raw, int32_t frameRate) {
    FrameInfo& info = acquisition.frameInfo;
    info.reserved = 0;
    info.width = raw->width;
    info.height = raw->height;
    info.bitsPerPixel = kBitsByColourMode[format.colourMode];
    info.frameRate = frameRate;
    info.buffer = acquisition.callbackBuffer;
}

int32_t CKelvra::MeasureFrameRate() {
    AcquisitionState& a = acquisition;
    ++a.frameCounter;
    const DWORD now = timeGetTime();
    const DWORD elapsed = now - a.rateTimer;
    if (elapsed > static_cast<DWORD>(kRateIntervalMs)) {
        a.framesPerTenSeconds = static_cast<int32_t>(static_cast<int64_t>(a.frameCounter) * 10000 / elapsed);
        a.frameCounter = 0;
        a.rateTimer = now;
    }
    return a.framesPerTenSeconds;
}

void CKelvra::PostFrameError(int32_t code) {
    {
        // A running preview's target may be replaced from the application's thread.
        CriticalSectionGuard frames(acquisition.frameLock);
        if (acquisition.callbackWindow) PostMessageA(acquisition.callbackWindow, WM_CAMERA_FRAME, 0, code);
    }
    RecordError(code);
}

bool CKelvra::CopyToCaller(const DibImage* image, BYTE* buffer, int32_t size, int32_t topDown) {
    const int64_t needed = static_cast<int64_t>(image->height) * image->stride;
    if (size < needed) {
        PostFrameError(KELVRA_ERR_MEMORY);
        return false;
    }
    const size_t stride = static_cast<size_t>(image->stride);
    if (topDown) {
        std::memcpy(buffer, image->bits, stride * static_cast<size_t>(image->height));
        return true;
    }
    for (int32_t row = 0; row < image->height; ++row) {
        std::memcpy(buffer + stride * static_cast<size_t>(row),
                    image->bits + stride * static_cast<size_t>(image->height - 1 - row), stride);
    }
    return true;
}

void CKelvra::PreviewLoop(void* context) { static_cast<CKelvra*>(context)->RunPreviewLoop(); }

void CKelvra::TriggerLoop(void* context) { static_cast<CKelvra*>(context)->RunTriggerLoop(); }

void CKelvra::RunPreviewLoop() {
    while (worker.RunFlag() != 0) {
        if (!worker.Rest(static_cast<DWORD>(format.waitTime))) break;
        if (worker.RunFlag() != 1) continue;
        const int32_t waited = device->WaitFrameUnless(kPreviewFrameWaitMs, worker.StopEvent());
        if (waited == CKelvraU3G5Base::kWaitStopped) break;
        if (waited == kDeviceGone) {
            worker.SetRunFlag(0);
            PostFrameError(KELVRA_ERR_DEVICE_LOST);
            break;
        }
        if (waited != kFrameReady) continue;
        const HWND announceTo = TakeFrame(true);
        if (worker.RunFlag() == 1 && announceTo)
            PostMessageA(announceTo, WM_CAMERA_FRAME, reinterpret_cast<WPARAM>(&acquisition.frameInfo), 0);
    }
}

HWND CKelvra::TakeFrame(bool preview) {
    AcquisitionState& a = acquisition;
    CriticalSectionGuard frames(a.frameLock);
    DibImage* raw = RawImage();
    if (!ReadFrame(raw)) {
        PostFrameError(KELVRA_ERR_TRANSFER);
        return nullptr;
    }
    // Triggered frames come when the trigger says: they have no rate.
    FillFrameInfo(raw, preview ? MeasureFrameRate() : 0);
    pipeline.Process(*this);
    if (preview) recorder.recordFrameReady.store(1);
    a.frameValid = 1;
    this->preview.Draw(images, format.colourMode);
    if (a.callbackBuffer && a.callbackBufferSize != 0 &&
        !CopyToCaller(OutputImage(), a.callbackBuffer, a.callbackBufferSize, a.callbackTopDown)) {
        return nullptr;
    }
    return a.callbackWindow;
}

void CKelvra::RunTriggerLoop() {
    // The first trigger may come while the camera still exposes the frame it was set up with.
    if (!worker.Rest(static_cast<DWORD>(device->GetExposureTime() / 10 + 100))) return;
    static_cast<void>(device->ReadFrameCounter());
    while (worker.RunFlag() != 0) {
        if (worker.RunFlag() != 1) {
            worker.Rest(10);
            continue;
        }
        if (!device->StartStreaming(kTriggered)) break;
        const int32_t waited = device->WaitFrameUnless(kTriggerFrameWaitMs, worker.StopEvent());
        if (worker.RunFlag() == 0 || waited == CKelvraU3G5Base::kWaitStopped) break;
        if (waited == kDeviceGone && !device->IsDevicePresent(static_cast<uint32_t>(deviceNumber))) {
            // Without this the loop would restart a stream on a camera that is not there, over and
            // over; the preview loop ends the same way.
            worker.SetRunFlag(0);
            PostFrameError(KELVRA_ERR_DEVICE_LOST);
            break;
        }
        if (waited != kFrameReady) continue;
        if (acquisition.skipNextFrame.exchange(0) != 0) continue;
        if (const HWND announceTo = TakeFrame(false))
            PostMessageA(announceTo, WM_CAMERA_FRAME, reinterpret_cast<WPARAM>(&acquisition.frameInfo), 0);
    }
}

bool CKelvra::SnapShot(BYTE* buffer, int32_t size, int32_t topDown) {
    const int32_t state = acquisition.acquisitionState.load();
    if (!device || state == kPreview || state == kTrigger) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (state == kIdle && !CaptureSetup()) return false;
    // In capture state the single-frame stream ends by itself; only a snapshot from idle stops it.
    const auto stopUnlessCapture = [&] {
        if (state != kCapture) static_cast<void>(device->StopStreaming());
    };
    CriticalSectionGuard frames(acquisition.frameLock);
    if (!device->StartStreaming(kSingleFrame) ||
        device->WaitFrame(static_cast<uint32_t>(acquisition.frameTimeout)) != kFrameReady) {
        stopUnlessCapture();
        RecordError(KELVRA_ERR_TRANSFER);
        return false;
    }
    if (!ReadFrame(RawImage())) {
        if (acquisition.callbackWindow)
            PostMessageA(acquisition.callbackWindow, WM_CAMERA_FRAME, 0, KELVRA_ERR_TRANSFER);
        stopUnlessCapture();
        RecordError(KELVRA_ERR_TRANSFER);
        return false;
    }
    pipeline.Process(*this);
    if (buffer != nullptr && size != 0 && !CopyToCaller(OutputImage(), buffer, size, topDown)) {
        stopUnlessCapture();
        RecordError(KELVRA_ERR_MEMORY);
        return false;
    }
    stopUnlessCapture();
    acquisition.frameValid = 1;
    return true;
}

bool CKelvra::GetImage(BYTE* buffer, int32_t size, int32_t topDown) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    CriticalSectionGuard frames(acquisition.frameLock);
    const DibImage* output = OutputImage();
    if (!output) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (output->bits != nullptr && buffer != nullptr) {
        if (CopyToCaller(output, buffer, size, topDown)) return true;
    }
    RecordError(KELVRA_ERR_MEMORY);
    return false;
}

bool CKelvra::Trigger(HWND window, BYTE* buffer, int32_t size, int32_t topDown) {
    // A second Trigger while the loop runs is refused like any other mode change: the worker
    // uses the images and the callback target without a lock.
    if (!device || acquisition.acquisitionState.load() != kIdle) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    SetCallbackTarget(window, buffer, size, topDown);
    if (!OpenPreviewWindow()) return false;
    if (!CaptureSetup()) {
        Close();
        return false;
    }
    acquisition.acquisitionState.store(kTrigger);
    acquisition.frameTimeout = kTriggerTimeoutMs;
    static_cast<void>(device->SetTransferTimeout(kTriggerTimeoutMs));
    if (!device->SetTriggerMode(1, 0)) DebugLog(LogCategory::Session, "trigger mode not taken");
    acquisition.skipNextFrame.store(0);
    if (!worker.Start(&CKelvra::TriggerLoop, this)) {
        Close();
        RecordError(KELVRA_ERR_THREAD);
        return false;
    }
    return true;
}
