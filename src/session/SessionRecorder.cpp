// Still images and movies of a session's frames: SaveImage writes the last processed frame;
// Record runs the preview and a recorder thread that appends each frame the preview finishes to
// an AVI movie until the duration has passed or the preview ends, and then finishes the file.
#include "common/DebugLog.h"
#include "output/AviFrame.h"
#include "output/StillImage.h"
#include "session/CKelvra.h"

namespace {

constexpr int32_t kPreviewState = 1;
constexpr DWORD kRecorderPollMs = 10;
// Frames per second assumed when deciding whether a movie may outgrow one RIFF list.
constexpr uint64_t kPlanningRate = 120;
// Writes samples as the output image holds them.
constexpr int32_t kFullSampleBits = 16;

}  // namespace

bool CKelvra::SaveImage(const char* path, int32_t fileType) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (path == nullptr || *path == '\0') {
        RecordError(KELVRA_ERR_PARAMETER);
        return false;
    }
    // The worker writes the output image under frameLock: holding it keeps the saved frame whole.
    CriticalSectionGuard frames(acquisition.frameLock);
    const DibImage* output = OutputImage();
    if (!acquisition.frameValid || output == nullptr || output->bits == nullptr) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    return SaveImageFile(*output, path, fileType, kFullSampleBits);
}

bool CKelvra::Record(const char* path, int32_t durationMs, int32_t withWindow) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (path == nullptr || *path == '\0' || durationMs < 0) {
        RecordError(KELVRA_ERR_PARAMETER);
        return false;
    }
    if (recorder.recordRun.load() != 0) {
        // Reopening the writer under the running recorder would tear its movie apart.
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    StopRecorder();  // a recorder that finished by itself still has its thread to join
    {
        CriticalSectionGuard frames(acquisition.frameLock);
        SetCallbackTarget(nullptr, nullptr, 0, 0);
    }
    if (withWindow != 0 && acquisition.acquisitionState.load() != kPreviewState && !OpenPreviewWindow()) {
        Close();
        return false;
    }
    if (!StartPreview()) {
        Close();
        RecordError(KELVRA_ERR_FAILED);
        return false;
    }
    int32_t width = 0, height = 0;
    {
        CriticalSectionGuard frames(acquisition.frameLock);
        const DibImage* output = OutputImage();
        if (output != nullptr) {
            width = output->width;
            height = output->height;
        }
    }
    const uint64_t frameBytes = static_cast<uint64_t>(DibStride(width, 24)) * static_cast<uint64_t>(height) + 8;
    const uint64_t plannedFrames = static_cast<uint64_t>(durationMs) * kPlanningRate / 1000 + 1;
    const bool longMovie = plannedFrames * frameBytes > AviWriter::kRiffLimit;
    const auto expectedFrames = static_cast<uint32_t>(plannedFrames < 1u << 20 ? plannedFrames : 1u << 20);
    if (!recorder.avi.OpenAvi(path, width, height, longMovie, expectedFrames)) {
        Close();
        RecordError(KELVRA_ERR_FAILED);
        return false;
    }
    // Everything the recorder reads is in place before it starts, so it cannot end at once.
    recorder.durationMs = durationMs;
    recorder.recordFrameReady.store(0);
    recorder.recordRun.store(1);
    recorder.recordEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (recorder.recordEvent != nullptr) {
        recorder.recordThread = CreateThread(nullptr, 0, RecorderEntry, this, 0, &recorder.recordThreadId);
    }
    if (recorder.recordThread == nullptr) {
        recorder.recordRun.store(0);
        if (recorder.recordEvent != nullptr) CloseHandle(recorder.recordEvent);
        recorder.recordEvent = nullptr;
        static_cast<void>(recorder.avi.CloseAvi());
        Close();
        RecordError(KELVRA_ERR_THREAD);
        return false;
    }
    return true;
}

DWORD WINAPI CKelvra::RecorderEntry(LPVOID context) {
    auto* session = static_cast<CKelvra*>(context);
    session->RunRecorder();
    SetEvent(session->recorder.recordEvent);
    return 0;
}

void CKelvra::RunRecorder() {
    RecorderState& r = recorder;
    AviWriter& avi = r.avi;
    DibImage frame;
    InitImage(&frame);
    bool writeFailed = !CreateImage(&frame, avi.Width(), avi.Height(), 24);
    uint64_t lastFrameMs = 0;
    DWORD firstTick = 0;
    while (!writeFailed && r.recordRun.load() != 0) {
        Sleep(kRecorderPollMs);
        // A preview that ended (a camera that went away) sends no further frames: the movie ends.
        if (r.recordRun.load() == 0 || worker.RunFlag() == 0) break;
        if (r.recordFrameReady.exchange(0) == 0) continue;
        const DWORD now = timeGetTime();
        if (avi.FrameCount() == 0) firstTick = now;
        const uint64_t elapsed = static_cast<DWORD>(now - firstTick);
        bool converted = false;
        {
            CriticalSectionGuard frames(acquisition.frameLock);
            const DibImage* output = OutputImage();
            converted = output != nullptr && MakeAviFrame(*output, frame);
        }
        if (!converted) continue;
        if (!avi.AddAviFrame(frame.bits)) {
            writeFailed = true;
            break;
        }
        lastFrameMs = elapsed;
        // The frame that comes first after the end is still in the movie.
        if (elapsed > static_cast<uint64_t>(r.durationMs)) break;
    }
    avi.SetFrameRate(AviWriter::MeasuredRate(avi.FrameCount(), lastFrameMs));
    if (!avi.CloseAvi() || writeFailed) {
        DebugLog(LogCategory::Session, "recording ended: the movie could not be written whole");
        RecordError(KELVRA_ERR_FAILED);
    }
    DestroyImage(&frame);
    r.recordRun.store(0);
}
