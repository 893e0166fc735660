#include "ScriptedCamera.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace usbtest {

using kelvra::platform::IoRequest;

namespace {

constexpr DWORD kControl = 0x220020;
constexpr DWORD kBuffered = 0x220024;
constexpr DWORD kAbort = 0x220044;
constexpr DWORD kDirect = 0x22004B;
constexpr std::size_t kHeader = 38;
constexpr uint32_t kStatusCancelled = 0xC0000120;

class Connection : public kelvra::platform::DeviceConnection {
public:
    explicit Connection(std::shared_ptr<ScriptedCamera> camera) : camera(std::move(camera)) {}
    void IoControl(std::shared_ptr<IoRequest> request) override { camera->Handle(this, request); }
    void CancelAll() override { camera->CancelAll(this); }

private:
    std::shared_ptr<ScriptedCamera> camera;
};

// The driver reports its status in the header the caller handed in: in place for direct transfers,
// in the returned record for buffered ones.
uint8_t* StatusHeader(IoRequest& request) {
    return request.code == kBuffered ? static_cast<uint8_t*>(request.output)
                                     : const_cast<uint8_t*>(static_cast<const uint8_t*>(request.input));
}

void CompleteAborted(IoRequest& request) {
    std::memcpy(StatusHeader(request) + 14, &kStatusCancelled, 4);
    request.Complete(ERROR_OPERATION_ABORTED, 0);
}

}  // namespace

std::string ScriptedCamera::PathFor(uint16_t productId, const std::string& serial) {
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "\\\\?\\usb#vid_7e57&pid_%04x#", productId);
    return prefix + serial + "#{7e570001-0000-4000-8000-00000000c0de}";
}

std::shared_ptr<ScriptedCamera> ScriptedCamera::PlugAt(const std::string& path) {
    auto camera = std::make_shared<ScriptedCamera>();
    camera->path = path;
    return kelvra::platform::AddDeviceInterface(kScriptedClass, path, camera) ? camera : nullptr;
}

ScriptedCamera::~ScriptedCamera() {
    for (auto& thread : completers) thread.join();
}

void ScriptedCamera::Unplug() { kelvra::platform::RemoveDeviceInterface(path); }

void ScriptedCamera::SetReply(uint8_t request, std::vector<uint8_t> data, uint32_t bytesReturned) {
    std::lock_guard guard(lock);
    data.resize(64);
    replies[request] = {std::move(data), bytesReturned};
}

void ScriptedCamera::ScriptTransfer(TransferScript script) {
    std::lock_guard guard(lock);
    scripts.push_back(script);
}

void ScriptedCamera::SetAbortBehaviour(bool ignored, int latencyMs) {
    std::lock_guard guard(lock);
    abortIgnored = ignored;
    abortLatencyMs = latencyMs;
}

std::vector<BulkCall> ScriptedCamera::BulkCalls(DWORD code) const {
    std::lock_guard guard(lock);
    std::vector<BulkCall> calls;
    std::copy_if(this->calls.begin(), this->calls.end(), std::back_inserter(calls),
                 [code](auto& c) { return c.code == code; });
    return calls;
}

int ScriptedCamera::Pending() const {
    std::lock_guard guard(lock);
    return int(pending.size());
}

int ScriptedCamera::Aborted() const {
    std::lock_guard guard(lock);
    return aborted;
}

std::shared_ptr<kelvra::platform::DeviceConnection> ScriptedCamera::Open(const std::string&, DWORD& error) {
    error = ERROR_ACCESS_DENIED;
    return openable ? std::make_shared<Connection>(shared_from_this()) : nullptr;
}

void ScriptedCamera::Handle(const void* connection, const std::shared_ptr<IoRequest>& request) {
    if (request->code == kBuffered || request->code == kDirect) return Transfer(connection, request);
    if (request->code == kAbort) {
        std::vector<std::shared_ptr<IoRequest>> ending;
        std::unique_lock guard(lock);
        const uint8_t endpoint = *static_cast<const uint8_t*>(request->input);
        calls.push_back({kAbort, endpoint, 0});
        for (auto it = pending.begin(); !abortIgnored && it != pending.end();)
            if (it->endpoint == endpoint) {
                ending.push_back(it->request);
                it = pending.erase(it);
            } else {
                ++it;
            }
        const int latency = abortLatencyMs;
        guard.unlock();
        End(std::move(ending), latency);
        return request->Complete(ERROR_SUCCESS, 0);
    }
    if (request->code != kControl || request->outputSize != 102) return request->Complete(ERROR_INVALID_FUNCTION, 0);
    std::unique_lock guard(lock);
    const uint8_t number = static_cast<const uint8_t*>(request->input)[1];
    const auto reply = replies.find(number);
    if (reply == replies.end()) return guard.unlock(), request->Complete(ERROR_SUCCESS, 102);
    std::memcpy(static_cast<uint8_t*>(request->output) + kHeader, reply->second.first.data(), 64);
    const uint32_t bytesReturned = reply->second.second;
    guard.unlock();
    request->Complete(ERROR_SUCCESS, bytesReturned);
}

void ScriptedCamera::Transfer(const void* connection, const std::shared_ptr<IoRequest>& request) {
    const uint8_t endpoint = static_cast<const uint8_t*>(request->input)[13];
    const std::size_t dataOffset = request->code == kBuffered ? kHeader : 0;
    const uint32_t room = uint32_t(request->outputSize - dataOffset);
    std::unique_lock guard(lock);
    calls.push_back({request->code, endpoint, room});
    TransferScript script{TransferScript::kComplete, room, 0};
    if (!scripts.empty()) {
        script = scripts.front();
        scripts.pop_front();
    }
    if (script.kind == TransferScript::kPend) return pending.push_back({connection, endpoint, request});
    guard.unlock();
    if (script.kind == TransferScript::kReject) return request->Complete(ERROR_GEN_FAILURE, 0);
    std::memset(static_cast<uint8_t*>(request->output) + dataOffset, 0x5A, std::min(script.bytes, room));
    std::memcpy(StatusHeader(*request) + 14, &script.driverStatus, 4);
    request->Complete(ERROR_SUCCESS, DWORD(script.bytes + dataOffset));
}

void ScriptedCamera::End(std::vector<std::shared_ptr<IoRequest>> requests, int latencyMs) {
    std::lock_guard guard(lock);
    aborted += int(requests.size());
    if (latencyMs == 0) {
        for (const auto& request : requests) CompleteAborted(*request);
        return;
    }
    completers.emplace_back([requests = std::move(requests), latencyMs] {
        std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs));
        for (const auto& request : requests) CompleteAborted(*request);
    });
}

void ScriptedCamera::CancelAll(const void* connection) {
    std::vector<std::shared_ptr<IoRequest>> ending;
    {
        std::lock_guard guard(lock);
        for (auto it = pending.begin(); it != pending.end();)
            if (it->connection == connection) {
                ending.push_back(it->request);
                it = pending.erase(it);
            } else {
                ++it;
            }
    }
    End(std::move(ending), 0);
}

}  // namespace usbtest
