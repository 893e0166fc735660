#include "session/AcquisitionWorker.h"

bool AcquisitionWorker::Start(Loop newLoop, void* newContext) {
    StopAndJoin();
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    workerDoneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    loop = newLoop;
    context = newContext;
    workerRun.store(1);
    workerThreadId = 0;
    if (stopEvent != nullptr && workerDoneEvent != nullptr) {
        workerThread = CreateThread(nullptr, 0, Entry, this, 0, &workerThreadId);
    }
    if (workerThread == nullptr || workerThreadId == 0) {
        StopAndJoin();
        return false;
    }
    return true;
}

DWORD WINAPI AcquisitionWorker::Entry(LPVOID self) {
    auto* worker = static_cast<AcquisitionWorker*>(self);
    worker->loop(worker->context);
    SetEvent(worker->workerDoneEvent);
    return 0;
}

void AcquisitionWorker::StopAndJoin() {
    workerRun.store(0);
    if (stopEvent != nullptr) SetEvent(stopEvent);
    if (workerThread != nullptr) {
        // The loops wake on the stop event from every wait, so the thread ends within one frame's
        // work; its own handle is the join, the done event only says it left its loop.
        WaitForSingleObject(workerThread, INFINITE);
        CloseHandle(workerThread);
        workerThread = nullptr;
    }
    for (HANDLE* event : {&stopEvent, &workerDoneEvent}) {
        if (*event != nullptr) CloseHandle(*event);
        *event = nullptr;
    }
}

bool AcquisitionWorker::Rest(DWORD milliseconds) const {
    if (workerRun.load() == 0) return false;
    return WaitForSingleObject(stopEvent, milliseconds) != WAIT_OBJECT_0;
}

bool AcquisitionWorker::LoopEnded() const {
    return workerDoneEvent == nullptr || WaitForSingleObject(workerDoneEvent, 0) == WAIT_OBJECT_0;
}
