#include "Camera.h"

#include "DriverConnection.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kelvra::sim {

namespace {

std::string MakePath(int id, std::uint16_t vendorId, std::uint16_t productId) {
    char path[128];
    std::snprintf(path, sizeof path, "\\\\?\\usb#vid_%04x&pid_%04x#ks%08d#{328184c5-93e6-49b7-94b8-2ada13aabb39}",
                  static_cast<unsigned>(vendorId), static_cast<unsigned>(productId), id);
    return path;
}

}  // namespace

Camera::Camera(int id, std::uint16_t productId, std::uint16_t vendorId)
    : id(id), path(MakePath(id, vendorId, productId)), model(id, vendorId, productId, Clock::now()) {}

Camera::~Camera() { Shutdown(); }

void Camera::Start() {
    thread = std::thread([this] { Run(); });
}

void Camera::Shutdown() {
    std::vector<BulkRead> reads;
    {
        std::lock_guard lock(mutex);
        stopping = true;
        plugged = false;
        ++generation;
        reads = TakePending([](const BulkRead&) { return true; });
    }
    wake.notify_all();
    if (thread.joinable()) {
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();  // the thread is on its way out of Run() and touches nothing after it
        else
            thread.join();
    }
    Fail(reads, ERROR_DEVICE_NOT_CONNECTED);
}

bool Camera::Plug() {
    std::lock_guard lock(mutex);
    if (plugged || stopping) return false;
    plugged = true;
    return true;
}

bool Camera::Unplug() {
    std::vector<BulkRead> reads;
    {
        std::lock_guard lock(mutex);
        if (!plugged) return false;
        plugged = false;
        // Handles opened before stay dead, as they do for a device that was pulled.
        ++generation;
        reads = TakePending([](const BulkRead&) { return true; });
        model.ResetTransfer();
    }
    Fail(reads, ERROR_DEVICE_NOT_CONNECTED);
    return true;
}

std::shared_ptr<platform::DeviceConnection> Camera::Open(DWORD& error) {
    std::lock_guard lock(mutex);
    if (!plugged) {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::make_shared<DriverConnection>(shared_from_this(), nextConnection++, generation);
}

DWORD Camera::CheckPlugged(std::uint64_t generation) {
    std::lock_guard lock(mutex);
    return plugged && generation == this->generation ? ERROR_SUCCESS : ERROR_DEVICE_NOT_CONNECTED;
}

DWORD Camera::Control(std::uint64_t generation, const SetupTransfer& setup, std::span<const std::uint8_t> data,
                      ControlResult& result) {
    {
        std::lock_guard lock(mutex);
        if (!plugged || generation != this->generation) return ERROR_DEVICE_NOT_CONNECTED;
        result = model.Control(setup, data, Clock::now());
    }
    wake.notify_all();
    return ERROR_SUCCESS;
}

DWORD Camera::QueueRead(std::uint64_t generation, BulkRead read) {
    {
        std::lock_guard lock(mutex);
        if (!plugged || generation != this->generation) return ERROR_DEVICE_NOT_CONNECTED;
        pending.push_back(std::move(read));
    }
    wake.notify_all();
    return ERROR_SUCCESS;
}

DWORD Camera::ResetPort(std::uint64_t generation) {
    std::lock_guard lock(mutex);
    if (!plugged || generation != this->generation) return ERROR_DEVICE_NOT_CONNECTED;
    model.Log().endpoints.Add({EndpointAction::ResetPort, 0});
    model.ResetTransfer();
    return ERROR_SUCCESS;
}

DWORD Camera::ResetPipe(std::uint64_t generation, std::uint8_t endpoint) {
    std::lock_guard lock(mutex);
    if (!plugged || generation != this->generation) return ERROR_DEVICE_NOT_CONNECTED;
    model.Log().endpoints.Add({EndpointAction::ResetPipe, endpoint});
    return ERROR_SUCCESS;
}

DWORD Camera::BusSpeed(std::uint64_t generation, std::uint32_t& code) {
    std::lock_guard lock(mutex);
    if (!plugged || generation != this->generation) return ERROR_DEVICE_NOT_CONNECTED;
    code = model.BusSpeed();
    return ERROR_SUCCESS;
}

DWORD Camera::Abort(std::uint64_t generation, std::uint8_t endpoint) {
    std::vector<BulkRead> reads;
    {
        std::unique_lock lock(mutex);
        if (!plugged || generation != this->generation) return ERROR_DEVICE_NOT_CONNECTED;
        model.Log().endpoints.Add({EndpointAction::AbortPipe, endpoint});
        reads = TakePending([endpoint](const BulkRead& read) { return read.endpoint == endpoint; });
        readDone.wait(lock, [&] { return !inProgress || inProgress->endpoint != endpoint; });
    }
    Fail(reads, ERROR_OPERATION_ABORTED);
    return ERROR_SUCCESS;
}

void Camera::Cancel(std::uint64_t connection) {
    std::vector<BulkRead> reads;
    {
        std::unique_lock lock(mutex);
        reads = TakePending([connection](const BulkRead& read) { return read.connection == connection; });
        readDone.wait(lock, [&] { return !inProgress || inProgress->connection != connection; });
    }
    Fail(reads, ERROR_OPERATION_ABORTED);
}

std::vector<BulkRead> Camera::TakePending(const std::function<bool(const BulkRead&)>& which) {
    std::vector<BulkRead> taken;
    for (auto it = pending.begin(); it != pending.end();) {
        if (which(*it)) {
            taken.push_back(std::move(*it));
            it = pending.erase(it);
        } else {
            ++it;
        }
    }
    return taken;
}

void Camera::Fail(const std::vector<BulkRead>& reads, DWORD error) {
    for (const BulkRead& read : reads) read.request->Complete(error, 0);
}

void Camera::Run() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        if (ServeOne(lock)) continue;
        // Only a read the frame can answer waits for the sensor's next frame; others wait to be woken.
        const bool awaitingFrame = std::any_of(pending.begin(), pending.end(), [this](const BulkRead& read) {
            return model.IsFrameEndpoint(read.endpoint);
        });
        const auto next = awaitingFrame ? model.NextFrameTime() : std::nullopt;
        if (next)
            wake.wait_until(lock, *next);
        else
            wake.wait(lock);
    }
}

bool Camera::ServeOne(std::unique_lock<std::mutex>& lock) {
    const auto now = Clock::now();
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        const auto chunk = model.NextChunk(it->endpoint, it->length, now);
        if (!chunk) continue;
        const BulkRead read = std::move(*it);
        pending.erase(it);
        inProgress = Busy{read.connection, read.endpoint};
        lock.unlock();
        Deliver(read, *chunk);
        lock.lock();
        inProgress.reset();
        readDone.notify_all();
        return true;
    }
    return false;
}

void Camera::Deliver(const BulkRead& read, const FrameChunk& chunk) {
    switch (chunk.kind) {
        case FrameChunk::Kind::Header:
            std::memcpy(read.data, chunk.header.data() + chunk.headerOffset, chunk.count);
            break;
        case FrameChunk::Kind::Payload:
            if (chunk.shape.RowBytes() == 0)
                std::memset(read.data, 0, chunk.count);
            else
                painter.Paint(chunk.shape, chunk.payloadOffset, read.data, chunk.count);
            break;
        case FrameChunk::Kind::Failure:
            SetupTransfer::StoreStatus(read.statusHeader, kDriverStatusUnsuccessful, kUsbStatusStall);
            read.request->Complete(ERROR_GEN_FAILURE, 0);
            return;
    }
    SetupTransfer::StoreStatus(read.statusHeader, 0, 0);
    read.request->Complete(ERROR_SUCCESS, read.headerBytes + static_cast<DWORD>(chunk.count));
}

}  // namespace kelvra::sim
