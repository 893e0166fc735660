// The first base of the camera controller: it attaches the shared device table, keeps the device
// interface class, the selected table row and the outcome of the latest direct-transfer submission,
// and carries out enumeration and opening of table rows. The stream and SROM operations that the
// controller adds are declared here in their slot order.
#pragma once

#include "kelvra/win32.h"
#include "usb/DeviceTable.h"
#include "usb/FrameRequest.h"
#include "usb/UsbDeviceEntry.h"

#include <cstddef>
#include <cstdint>

namespace kelvra::usb {
// {328184C5-93E6-49B7-94B8-2ADA13AABB39}
constexpr GUID kCameraInterfaceClass = {0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};
}  // namespace kelvra::usb

class CFx3Api {
public:
    CFx3Api();
    CFx3Api(const CFx3Api&) = delete;
    CFx3Api& operator=(const CFx3Api&) = delete;

    virtual ~CFx3Api();
    [[nodiscard]] virtual int OpenStream() = 0;
    [[nodiscard]] virtual int ReadFrameHeader(FrameRequest* frame, uint32_t timeoutMs) = 0;
    [[nodiscard]] virtual int ReadFramePayload(FrameRequest* frame, uint32_t timeoutMs) = 0;
    [[nodiscard]] virtual int ReadFrameEndpoint83(FrameRequest* frame, uint32_t timeoutMs) = 0;
    virtual void CloseStream() = 0;
    [[nodiscard]] virtual int WriteSromByte(uint16_t address, uint8_t value) = 0;
    [[nodiscard]] virtual int ReadSromByte(uint16_t address, uint8_t* value) = 0;
    [[nodiscard]] virtual int SendRequestCC() = 0;
    [[nodiscard]] virtual int WriteModeByte(uint8_t value) = 0;
    [[nodiscard]] virtual int ReadModeByte(uint8_t* value) = 0;
    // count receives the data length; buffered transfers go through the controller's transfer buffer.
    [[nodiscard]] virtual int TransferBuffered(HANDLE device, void* buffer, uint32_t length, uint8_t endpoint,
                                               uint32_t* count) = 0;
    [[nodiscard]] virtual int TransferDirect(HANDLE device, void* buffer, uint32_t length, uint8_t endpoint,
                                             uint32_t* count) = 0;
    [[nodiscard]] virtual int TransferDirectTimed(HANDLE device, void* buffer, uint32_t length, uint8_t endpoint,
                                                  uint32_t* count, uint32_t waitMs) = 0;

    // Enumeration pass; returns the number of rows in use afterwards.
    int EnumerateDevices();
    // A handle on the row's device, opened for writing; null when the row is not in use or does
    // not open. The caller closes it.
    [[nodiscard]] HANDLE OpenDeviceRow(int row, bool overlapped);
    bool IsDeviceRowPresent(int row);
    // 1 with the model's device name in buffer, 0 when the row is absent or its model has no name.
    [[nodiscard]] int FormatDeviceName(int row, char* buffer, std::size_t capacity);

    // Queries the device core makes for its product id (-1 when it has none).
    int CountDevices(int productId);
    bool IsDeviceNumberPresent(int productId, int deviceNumber);
    int FindDeviceRow(int productId, int deviceNumber);  // -1 when none

    UsbDeviceEntry DeviceEntry(int row) const { return table.Entry(row); }
    int EntryCount() const { return table.EntryCount(); }
    int SelectedRow() const { return selectedRow; }
    // 0 when the latest direct transfer completed at once, else the system error of its submission.
    int SubmissionOutcome() const { return submissionOutcome; }

protected:
    void SetInterfaceClass(const GUID& interfaceClass) { this->interfaceClass = interfaceClass; }
    void SetSelectedRow(int row) { selectedRow = row; }
    void SetSubmissionOutcome(int outcome) { submissionOutcome = outcome; }

private:
    kelvra::usb::DeviceTable table;
    int selectedRow = 0;
    GUID interfaceClass{};
    int submissionOutcome = 0;
};
