#include "ScriptedCamera.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace usbtest {

using kelvra::platform::IoRequest;

namespace {

constexpr DWORD kControlCode = 0x220020;
constexpr DWORD kBufferedCode = 0x220024;
constexpr DWORD kAbortCode = 0x220044;
constexpr DWORD kDirectCode = 0x22004B;
constexpr DWORD kBusSpeedCode = 0x22004C;
constexpr std::size_t kHeaderBytes = 38;
constexpr std::size_t kEndpointOffset = 13;
constexpr std::size_t kDriverStatusOffset = 14;
constexpr uint32_t kStatusCancelled = 0xC0000120;

class ScriptedConnection : public kelvra::platform::DeviceConnection {
public:
    explicit ScriptedConnection(std::shared_ptr<ScriptedCamera> camera) : camera_(std::move(camera)) {}
    void IoControl(std::shared_ptr<IoRequest> request) override { camera_->Handle(this, request); }
    void CancelAll() override { camera_->CancelAll(this); }

private:
    std::shared_ptr<ScriptedCamera> camera_;
};

uint16_t Word(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Dword(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }

}  // namespace

ScriptedCamera::~ScriptedCamera()
{
    for (auto& thread : completers_)
        thread.join();
}

std::shared_ptr<ScriptedCamera> ScriptedCamera::Plug(uint16_t vendorId, uint16_t productId, const std::string& serial)
{
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "\\\\?\\usb#vid_%04x&pid_%04x#", vendorId, productId);
    return PlugAt(prefix + serial + "#{7e570001-0000-4000-8000-00000000c0de}");
}

std::shared_ptr<ScriptedCamera> ScriptedCamera::PlugAt(const std::string& path)
{
    auto camera = std::make_shared<ScriptedCamera>();
    camera->path_ = path;
    if (!kelvra::platform::AddDeviceInterface(kScriptedClass, path, camera))
        return nullptr;
    return camera;
}

void ScriptedCamera::Unplug()
{
    kelvra::platform::RemoveDeviceInterface(path_);
}

void ScriptedCamera::SetOpenable(bool openable)
{
    std::lock_guard guard(lock_);
    openable_ = openable;
}

void ScriptedCamera::SetReply(uint8_t request, std::vector<uint8_t> data, uint32_t bytesReturned)
{
    std::lock_guard guard(lock_);
    replies_[request] = {std::move(data), bytesReturned};
}

void ScriptedCamera::ScriptTransfer(TransferScript script)
{
    std::lock_guard guard(lock_);
    transfers_.push_back(script);
}

void ScriptedCamera::SetBusSpeed(bool answers, uint32_t code)
{
    std::lock_guard guard(lock_);
    busSpeedAnswers_ = answers;
    busSpeed_ = code;
}

void ScriptedCamera::SetAbortIgnored(bool ignored)
{
    std::lock_guard guard(lock_);
    abortIgnored_ = ignored;
}

void ScriptedCamera::SetAbortLatencyMs(int milliseconds)
{
    std::lock_guard guard(lock_);
    abortLatencyMs_ = milliseconds;
}

std::vector<ControlCall> ScriptedCamera::Controls() const
{
    std::lock_guard guard(lock_);
    return controls_;
}

std::vector<BulkCall> ScriptedCamera::BulkCalls() const
{
    std::lock_guard guard(lock_);
    return bulk_;
}

std::vector<DWORD> ScriptedCamera::Codes() const
{
    std::lock_guard guard(lock_);
    return codes_;
}

int ScriptedCamera::Opens() const
{
    std::lock_guard guard(lock_);
    return opens_;
}

int ScriptedCamera::Pending() const
{
    std::lock_guard guard(lock_);
    return int(pending_.size());
}

int ScriptedCamera::Aborted() const
{
    std::lock_guard guard(lock_);
    return aborted_;
}

std::shared_ptr<kelvra::platform::DeviceConnection> ScriptedCamera::Open(const std::string&, DWORD& error)
{
    std::lock_guard guard(lock_);
    if (!openable_) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    ++opens_;
    return std::make_shared<ScriptedConnection>(shared_from_this());
}

void ScriptedCamera::Handle(const void* connection, const std::shared_ptr<IoRequest>& request)
{
    {
        std::lock_guard guard(lock_);
        codes_.push_back(request->code);
    }
    switch (request->code) {
    case kControlCode:
        HandleControl(*request);
        return;
    case kBufferedCode:
    case kDirectCode:
        HandleTransfer(connection, request);
        return;
    case kAbortCode: {
        const uint8_t endpoint = request->inputSize >= 1 ? *static_cast<const uint8_t*>(request->input) : 0;
        {
            std::lock_guard guard(lock_);
            bulk_.push_back({request->code, endpoint, 0});
        }
        AbortEndpoint(endpoint);
        request->Complete(ERROR_SUCCESS, 0);
        return;
    }
    case kBusSpeedCode: {
        std::unique_lock guard(lock_);
        const bool answers = busSpeedAnswers_;
        const uint32_t code = busSpeed_;
        guard.unlock();
        if (!answers || request->outputSize < 4) {
            request->Complete(ERROR_INVALID_FUNCTION, 0);
            return;
        }
        std::memcpy(request->output, &code, 4);
        request->Complete(ERROR_SUCCESS, 4);
        return;
    }
    default:
        request->Complete(ERROR_SUCCESS, 0);
    }
}

void ScriptedCamera::HandleControl(IoRequest& request)
{
    if (request.inputSize != 102 || request.outputSize != 102) {
        request.Complete(ERROR_INVALID_PARAMETER, 0);
        return;
    }
    const auto* in = static_cast<const uint8_t*>(request.input);
    ControlCall call;
    call.requestType = in[0];
    call.request = in[1];
    call.value = Word(in + 2);
    call.index = Word(in + 4);
    call.length = Word(in + 6);
    call.timeoutSeconds = Dword(in + 8);
    call.endpoint = in[kEndpointOffset];
    call.bufferOffset = Dword(in + 30);
    call.bufferLength = Dword(in + 34);
    call.data.assign(in + kHeaderBytes, in + 102);

    std::unique_lock guard(lock_);
    controls_.push_back(call);
    std::vector<uint8_t> data(64, 0);
    uint32_t bytesReturned = 102;
    if (auto reply = replies_.find(call.request); reply != replies_.end()) {
        std::copy_n(reply->second.first.begin(), std::min<std::size_t>(64, reply->second.first.size()), data.begin());
        bytesReturned = reply->second.second;
    }
    guard.unlock();
    std::memcpy(static_cast<uint8_t*>(request.output) + kHeaderBytes, data.data(), 64);
    request.Complete(ERROR_SUCCESS, bytesReturned);
}

void ScriptedCamera::HandleTransfer(const void* connection, const std::shared_ptr<IoRequest>& request)
{
    const auto* header = static_cast<const uint8_t*>(request->input);
    const uint8_t endpoint = request->inputSize > kEndpointOffset ? header[kEndpointOffset] : 0;
    const bool buffered = request->code == kBufferedCode;
    std::unique_lock guard(lock_);
    bulk_.push_back({request->code, endpoint, request->outputSize});
    TransferScript script;
    if (!transfers_.empty()) {
        script = transfers_.front();
        transfers_.pop_front();
    } else {
        script.bytes = buffered ? request->outputSize - DWORD(kHeaderBytes) : request->outputSize;
    }
    if (script.kind == TransferScript::kPend) {
        pending_.push_back({connection, endpoint, request});
        return;
    }
    guard.unlock();
    if (script.kind == TransferScript::kReject) {
        request->Complete(ERROR_GEN_FAILURE, 0);
        return;
    }
    auto* out = static_cast<uint8_t*>(request->output);
    const std::size_t dataOffset = buffered ? kHeaderBytes : 0;
    const std::size_t room = request->outputSize > dataOffset ? request->outputSize - dataOffset : 0;
    std::memset(out + dataOffset, 0x5A, std::min<std::size_t>(script.bytes, room));
    // The driver reports its status in the header the caller handed in (in place for direct transfers).
    uint8_t* statusHeader = buffered ? out : const_cast<uint8_t*>(header);
    std::memcpy(statusHeader + kDriverStatusOffset, &script.driverStatus, 4);
    request->Complete(ERROR_SUCCESS, DWORD(script.bytes + dataOffset));
}

void ScriptedCamera::CompleteAborted(IoRequest& request)
{
    uint8_t* header = request.code == kBufferedCode ? static_cast<uint8_t*>(request.output)
                                                    : const_cast<uint8_t*>(static_cast<const uint8_t*>(request.input));
    std::memcpy(header + kDriverStatusOffset, &kStatusCancelled, 4);
    request.Complete(ERROR_OPERATION_ABORTED, 0);
}

void ScriptedCamera::AbortEndpoint(uint8_t endpoint)
{
    std::vector<std::shared_ptr<IoRequest>> ending;
    std::unique_lock guard(lock_);
    if (abortIgnored_)
        return;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->endpoint == endpoint) {
            ending.push_back(it->request);
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    aborted_ += int(ending.size());
    const int latency = abortLatencyMs_;
    if (latency > 0 && !ending.empty()) {
        completers_.emplace_back([ending, latency] {
            std::this_thread::sleep_for(std::chrono::milliseconds(latency));
            for (const auto& request : ending)
                CompleteAborted(*request);
        });
        return;
    }
    guard.unlock();
    for (const auto& request : ending)
        CompleteAborted(*request);
}

void ScriptedCamera::CancelAll(const void* connection)
{
    std::vector<std::shared_ptr<IoRequest>> ending;
    {
        std::lock_guard guard(lock_);
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->connection == connection) {
                ending.push_back(it->request);
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
        aborted_ += int(ending.size());
    }
    for (const auto& request : ending)
        CompleteAborted(*request);
}

}  // namespace usbtest
