// The camera controller over the FX3 kernel driver: control requests on endpoint 0 for registers,
// I2C, EEPROM and the camera's state; direct bulk-in reads of frame headers and payloads.
//
// Control requests open the selected row for each request, so they may come from any thread; the
// stream reads keep one overlapped handle and belong to the acquisition thread.
#pragma once

#include "usb/CControllerBase.h"
#include "usb/CFx3Api.h"
#include "usb/UsbRequests.h"

#include <memory>
#include <mutex>
#include <optional>
#include <span>

class CKelvCy3Cam : public CFx3Api, public CControllerBase {
public:
    // interfaceClass: the device interface class to enumerate; the camera's own class when null.
    explicit CKelvCy3Cam(const GUID* interfaceClass = nullptr);
    ~CKelvCy3Cam() override;

    // CControllerBase
    int ReservedQuery() override { return 0; }
    void Close() override;
    [[nodiscard]] int SelectDevice(int row) override;
    [[nodiscard]] int ReadFpgaRegisterPair(uint16_t* value) override;
    [[nodiscard]] int I2cWrite(uint8_t address, const uint8_t* bytes, int count, uint32_t timeoutMs) override;
    [[nodiscard]] int I2cRead(uint8_t address, uint8_t* bytes, int count, uint32_t timeoutMs) override;
    [[nodiscard]] int WriteRegister32(uint16_t address, uint32_t value) override;
    [[nodiscard]] int ReadRegister16(uint16_t address, int* value) override;
    [[nodiscard]] int WriteRegisterPair(uint16_t address, uint16_t value) override;
    [[nodiscard]] int ReadRegisterWord(uint16_t address, int* value) override;
    [[nodiscard]] int WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    [[nodiscard]] int ReadFpgaRegister(uint8_t reg, uint8_t* value) override;
    [[nodiscard]] int WriteAuxRegister(uint8_t reg, uint8_t value) override;
    [[nodiscard]] int ReadAuxRegister(uint8_t reg, uint8_t* value) override;
    [[nodiscard]] int AbortStream() override;

    // CFx3Api
    [[nodiscard]] int OpenStream() override;
    [[nodiscard]] int ReadFrameHeader(FrameRequest* frame, uint32_t timeoutMs) override;
    [[nodiscard]] int ReadFramePayload(FrameRequest* frame, uint32_t timeoutMs) override;
    [[nodiscard]] int ReadFrameEndpoint83(FrameRequest* frame, uint32_t timeoutMs) override;
    void CloseStream() override;
    [[nodiscard]] int WriteSromByte(uint16_t address, uint8_t value) override;
    [[nodiscard]] int ReadSromByte(uint16_t address, uint8_t* value) override;
    [[nodiscard]] int SendRequestCC() override;
    [[nodiscard]] int WriteModeByte(uint8_t value) override;
    [[nodiscard]] int ReadModeByte(uint8_t* value) override;
    [[nodiscard]] int TransferBuffered(HANDLE device, void* buffer, uint32_t length, uint8_t endpoint,
                                       uint32_t* count) override;
    [[nodiscard]] int TransferDirect(HANDLE device, void* buffer, uint32_t length, uint8_t endpoint,
                                     uint32_t* count) override;
    [[nodiscard]] int TransferDirectTimed(HANDLE device, void* buffer, uint32_t length, uint8_t endpoint,
                                          uint32_t* count, uint32_t waitMs) override;

    // Called by the device core directly.
    [[nodiscard]] int AllocateTransferBuffer();
    [[nodiscard]] int ResetPort();
    [[nodiscard]] int ResetPipe(uint8_t endpoint);
    [[nodiscard]] int ResetStream();
    [[nodiscard]] int RequestFrame(HANDLE device);
    [[nodiscard]] int ReadCameraInfo(uint8_t* info);   // 64 bytes
    [[nodiscard]] int ReadCameraInfo2(uint8_t* info);  // 64 bytes
    [[nodiscard]] int ReadReadyState(uint8_t* state);
    [[nodiscard]] int GetBusSpeed(int* speed);

    // Stopping a stream: every stream transfer pending now or issued later fails at once, until
    // ResumeStreamTransfers. Safe from any thread while the acquisition thread reads.
    void StopStreamTransfers();
    void ResumeStreamTransfers();
    // Signalled while stream transfers are stopped: a wait of the acquisition thread that ends on
    // it never outlasts a stop. Null only when the system is out of handles.
    HANDLE StreamStopEvent() const { return streamStopEvent; }

    HANDLE StreamHandle() const { return streamHandle; }

private:
    struct ControlReply {
        bool ok = false;
        uint32_t dataLength = 0;
        uint8_t data[kelvra::usb::kControlDataBytes] = {};
    };

    // One vendor request on endpoint 0: on device when given, else on the selected row opened for
    // this request alone.
    ControlReply Control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                         std::span<const uint8_t> send = {}, HANDLE device = nullptr);
    // A request on the selected row that carries no transfer record; nothing when the row does not open.
    std::optional<bool> RowRequest(uint32_t code, void* input, uint32_t inputSize, void* output, uint32_t outputSize);
    int ReadInfoRecord(uint8_t request, uint8_t* info);

    // Ends whatever is pending on endpoint of device; aborts, then cancels if the driver did not
    // finish it, so the caller's buffers are free when it returns.
    void AbortPendingTransfer(HANDLE device, uint8_t endpoint, HANDLE completionEvent);
    // Asks the driver to end the transfers pending on endpoint; waits until it has acknowledged.
    void AbortPipe(HANDLE device, uint8_t endpoint);

    // Opens the stream handle when closed; openedHere tells whether this call opened it.
    bool EnsureStream(bool& openedHere);
    void CloseStreamIf(bool openedHere);

    bool StreamStopped() const;
    // Waits milliseconds unless the stream is stopped meanwhile; true when it was.
    bool SettleUnlessStopped(DWORD milliseconds) const;
    // Waits for the transfer's completion or a stop, at most waitMs; true when it completed.
    bool WaitForTransfer(HANDLE device, HANDLE completion, DWORD waitMs) const;

    HANDLE streamHandle = nullptr;
    // Opening and closing the stream handle against an abort from the stopping thread: the abort
    // must not reach a handle that is being closed.
    std::mutex streamLock;
    HANDLE streamStopEvent = nullptr;  // manual reset
    // Direct transfers carry the frames: they reuse one event, taken one transfer at a time, so
    // a frame costs no allocation. Null only when the system is out of handles.
    HANDLE directEvent = nullptr;
    std::mutex directLock;  // the shared event and the transfer it serves, one transfer at a time
    std::unique_ptr<uint8_t[]> transferBuffer;
    std::mutex fpgaLock;  // FPGA register write-then-read pairs never interleave
};
