// A device provider for the USB transport tests: a camera whose driver answers exactly as a test
// scripts it (reply lengths, statuses, transfers that stay pending, an abort that is ignored), and
// records every request it receives. It lives in an interface class of its own so simulated
// cameras never mix into these tests.
#pragma once

#include "kelvra/DeviceProvider.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace usbtest {

// {7E570001-0000-4000-8000-00000000C0DE}
constexpr GUID kScriptedClass = {0x7E570001, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0xDE}};

struct ControlCall {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
    uint32_t timeoutSeconds = 0;
    uint8_t endpoint = 0;
    uint32_t bufferOffset = 0;
    uint32_t bufferLength = 0;
    std::vector<uint8_t> data;  // the 64-byte data area as sent
};

struct BulkCall {
    DWORD code = 0;
    uint8_t endpoint = 0;
    DWORD length = 0;  // bytes the caller's buffer offers
};

// How the driver treats the next direct (0x22004B) or buffered (0x220024) transfer.
struct TransferScript {
    enum Kind { kComplete, kPend, kReject } kind = kComplete;
    uint32_t bytes = 0;          // kComplete: bytes delivered (filled with 0x5A)
    uint32_t driverStatus = 0;   // kComplete: written into the caller's header
};

class ScriptedCamera : public kelvra::platform::DeviceProvider,
                       public std::enable_shared_from_this<ScriptedCamera> {
public:
    ~ScriptedCamera() override;

    // Plugs a camera in under path "\\?\usb#vid_<vid>&pid_<pid>#<serial>#{7e570001-...}".
    static std::shared_ptr<ScriptedCamera> Plug(uint16_t vendorId, uint16_t productId, const std::string& serial);
    static std::shared_ptr<ScriptedCamera> PlugAt(const std::string& path);
    void Unplug();
    const std::string& Path() const { return path_; }

    void SetOpenable(bool openable);
    // The camera's answer to a control request: `data` fills the data area and the driver reports
    // bytesReturned bytes for the whole record (102 when unscripted).
    void SetReply(uint8_t request, std::vector<uint8_t> data, uint32_t bytesReturned);
    void ScriptTransfer(TransferScript script);  // queued; an empty queue completes at once
    void SetBusSpeed(bool answers, uint32_t code);
    // Abort requests (0x220044) are acknowledged but leave pending transfers alone.
    void SetAbortIgnored(bool ignored);
    // Pending transfers end this long after their abort, from another thread.
    void SetAbortLatencyMs(int milliseconds);

    std::vector<ControlCall> Controls() const;
    std::vector<BulkCall> BulkCalls() const;
    std::vector<DWORD> Codes() const;  // every I/O-control code, in order
    int Opens() const;
    int Pending() const;
    int Aborted() const;  // transfers completed as aborted

    // DeviceProvider
    std::shared_ptr<kelvra::platform::DeviceConnection> Open(const std::string& path, DWORD& error) override;

    // Called by its connections.
    void Handle(const void* connection, const std::shared_ptr<kelvra::platform::IoRequest>& request);
    void CancelAll(const void* connection);

private:
    void HandleControl(kelvra::platform::IoRequest& request);
    void HandleTransfer(const void* connection, const std::shared_ptr<kelvra::platform::IoRequest>& request);
    void AbortEndpoint(uint8_t endpoint);
    // Completes as aborted, writing the driver's status into the caller's header as a driver does.
    static void CompleteAborted(kelvra::platform::IoRequest& request);

    std::string path_;
    mutable std::mutex lock_;
    bool openable_ = true;
    std::map<uint8_t, std::pair<std::vector<uint8_t>, uint32_t>> replies_;
    std::deque<TransferScript> transfers_;
    bool busSpeedAnswers_ = true;
    uint32_t busSpeed_ = 4;
    bool abortIgnored_ = false;
    int abortLatencyMs_ = 0;
    std::vector<ControlCall> controls_;
    std::vector<BulkCall> bulk_;
    std::vector<DWORD> codes_;
    int opens_ = 0;
    int aborted_ = 0;
    struct PendingTransfer {
        const void* connection;
        uint8_t endpoint;
        std::shared_ptr<kelvra::platform::IoRequest> request;
    };
    std::vector<PendingTransfer> pending_;
    std::vector<std::thread> completers_;
};

}  // namespace usbtest
