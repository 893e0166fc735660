// A device provider for what a simulated camera never does: a driver that answers control requests
// with scripted lengths, reports errors, leaves transfers pending, ignores or delays aborts, or
// refuses to open. It lives in an interface class of its own, apart from simulated cameras.
#pragma once

#include "kelvra/DeviceProvider.h"

#include <atomic>
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

// How the driver treats the next direct or buffered transfer; unscripted ones complete in full.
struct TransferScript {
    enum Kind { kComplete, kPend, kReject } kind = kComplete;
    uint32_t bytes = 0;         // kComplete: data bytes delivered, each 0x5A
    uint32_t driverStatus = 0;  // kComplete: written into the caller's header
};

// A transfer or abort (code 0x220044) as the driver received it.
struct BulkCall {
    DWORD code;
    uint8_t endpoint;
    DWORD length;
};

class ScriptedCamera : public kelvra::platform::DeviceProvider, public std::enable_shared_from_this<ScriptedCamera> {
public:
    static std::string PathFor(uint16_t productId, const std::string& serial);
    static std::shared_ptr<ScriptedCamera> PlugAt(const std::string& path);
    ~ScriptedCamera() override;
    void Unplug();
    const std::string& Path() const { return path; }

    std::atomic<bool> openable{true};
    // The data area of every answer to `request`, and the byte count the driver reports for the record.
    void SetReply(uint8_t request, std::vector<uint8_t> data, uint32_t bytesReturned);
    void ScriptTransfer(TransferScript script);
    // Aborts are acknowledged but end nothing (ignored), or end the transfers latencyMs later.
    void SetAbortBehaviour(bool ignored, int latencyMs);

    std::vector<BulkCall> BulkCalls(DWORD code) const;
    int Pending() const;
    int Aborted() const;

    std::shared_ptr<kelvra::platform::DeviceConnection> Open(const std::string& path, DWORD& error) override;
    void Handle(const void* connection, const std::shared_ptr<kelvra::platform::IoRequest>& request);
    void CancelAll(const void* connection);

private:
    struct PendingTransfer {
        const void* connection;
        uint8_t endpoint;
        std::shared_ptr<kelvra::platform::IoRequest> request;
    };
    void Transfer(const void* connection, const std::shared_ptr<kelvra::platform::IoRequest>& request);
    void End(std::vector<std::shared_ptr<kelvra::platform::IoRequest>> requests, int latencyMs);

    std::string path;
    mutable std::mutex lock;
    std::map<uint8_t, std::pair<std::vector<uint8_t>, uint32_t>> replies;
    std::deque<TransferScript> scripts;
    bool abortIgnored = false;
    int abortLatencyMs = 0;
    std::vector<BulkCall> calls;
    std::vector<PendingTransfer> pending;
    int aborted = 0;
    std::vector<std::thread> completers;
};

}  // namespace usbtest
