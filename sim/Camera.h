// One simulated camera as the host's driver sees it: its plug state, the bulk-in reads waiting
// for data, and the camera's own thread that answers them as frames come. All access to the
// model goes through the camera's lock; the thread paints frame data into the readers' buffers
// outside it, one read at a time.
#pragma once

#include "CameraModel.h"
#include "ScenePainter.h"

#include "kelvra/DeviceProvider.h"

#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kelvra::sim {

// A bulk-in read handed to the driver.
struct BulkRead {
    std::shared_ptr<platform::IoRequest> request;
    std::uint64_t connection = 0;
    std::uint8_t endpoint = 0;
    std::uint8_t* data = nullptr;
    std::size_t length = 0;
    std::uint8_t* statusHeader = nullptr;  // the SetupTransfer whose status words the driver fills
    DWORD headerBytes = 0;                 // counted in bytesReturned before the data (buffered reads)
};

class Camera : public std::enable_shared_from_this<Camera> {
public:
    using Clock = FrameClock::Clock;

    Camera(int id, std::uint16_t productId, std::uint16_t vendorId);
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    void Start();
    // Fails every pending read and stops the thread; the camera is unplugged for good.
    void Shutdown();

    int Id() const { return id; }
    const std::string& Path() const { return path; }

    // Each returns whether the plug state changed.
    bool Plug();
    bool Unplug();

    std::shared_ptr<platform::DeviceConnection> Open(DWORD& error);

    // Driver operations of a connection opened while the camera was plugged in as `generation`.
    // They fail with ERROR_DEVICE_NOT_CONNECTED once that plug-in has ended.
    DWORD Control(std::uint64_t generation, const SetupTransfer& setup, std::span<const std::uint8_t> data,
                  ControlResult& result);
    DWORD QueueRead(std::uint64_t generation, BulkRead read);
    DWORD ResetPort(std::uint64_t generation);
    DWORD ResetPipe(std::uint64_t generation, std::uint8_t endpoint);
    DWORD CheckPlugged(std::uint64_t generation);
    DWORD Abort(std::uint64_t generation, std::uint8_t endpoint);
    DWORD BusSpeed(std::uint64_t generation, std::uint32_t& code);
    // Cancels the connection's pending reads; returns when none of them is in progress.
    void Cancel(std::uint64_t connection);

    // Runs f on the model under the camera's lock, then lets the camera thread look again.
    template <class F>
    auto WithModel(F&& f) {
        struct Wake {
            Camera& camera;
            ~Wake() { camera.wake.notify_all(); }
        } wake{*this};
        std::lock_guard lock(mutex);
        return f(model);
    }

private:
    void Run();
    bool ServeOne(std::unique_lock<std::mutex>& lock);
    void Deliver(const BulkRead& read, const FrameChunk& chunk);
    std::vector<BulkRead> TakePending(const std::function<bool(const BulkRead&)>& which);
    static void Fail(const std::vector<BulkRead>& reads, DWORD error);

    const int id;
    const std::string path;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable readDone;
    CameraModel model;
    bool plugged = true;
    bool stopping = false;
    std::uint64_t generation = 1;
    std::uint64_t nextConnection = 1;
    std::list<BulkRead> pending;
    struct Busy {
        std::uint64_t connection;
        std::uint8_t endpoint;
    };
    std::optional<Busy> inProgress;  // the read the thread is filling outside the lock
    ScenePainter painter;            // used by the camera thread only
    std::thread thread;
};

}  // namespace kelvra::sim
