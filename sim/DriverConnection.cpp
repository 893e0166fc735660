#include "DriverConnection.h"

#include "Camera.h"

#include <algorithm>
#include <cstring>

namespace kelvra::sim {

namespace {

bool IsBulkInEndpoint(std::uint8_t endpoint) {
    return endpoint == CameraModel::kHeaderEndpoint || endpoint == CameraModel::kWholeFrameEndpoint;
}

const std::uint8_t* InputBytes(const platform::IoRequest& request) {
    return static_cast<const std::uint8_t*>(request.input);
}

}  // namespace

void DriverConnection::IoControl(std::shared_ptr<platform::IoRequest> request) {
    switch (request->code) {
        case kControlTransfer:
            ControlTransfer(*request);
            return;
        case kBufferedTransfer:
            BulkIn(request, true);
            return;
        case kDirectTransfer:
            BulkIn(request, false);
            return;
        case kResetPipe:
        case kResetPort:
        case kAbortPipe:
            EndpointRequest(*request);
            return;
        case kBusSpeed:
            BusSpeed(*request);
            return;
        default:
            request->Complete(ERROR_INVALID_FUNCTION, 0);
            return;
    }
}

void DriverConnection::CancelAll() { camera->Cancel(id); }

void DriverConnection::ControlTransfer(platform::IoRequest& request) {
    if (!request.input || request.inputSize < SetupTransfer::kSize || !request.output) {
        request.Complete(ERROR_INVALID_PARAMETER, 0);
        return;
    }
    const SetupTransfer setup = SetupTransfer::Parse(InputBytes(request));
    std::span<const std::uint8_t> data;
    if (setup.bufferOffset != 0) {
        const std::uint64_t end = std::uint64_t{setup.bufferOffset} + setup.bufferLength;
        if (setup.bufferOffset < SetupTransfer::kSize || end > request.inputSize) {
            request.Complete(ERROR_INVALID_PARAMETER, 0);
            return;
        }
        data = {InputBytes(request) + setup.bufferOffset, setup.bufferLength};
    }
    // The driver hands the request's own buffer back, so it must hold the data area.
    if (request.outputSize < SetupTransfer::kSize + setup.bufferLength) {
        request.Complete(ERROR_INSUFFICIENT_BUFFER, 0);
        return;
    }
    ControlResult result;
    if (DWORD error = camera->Control(generation, setup, data, result); error != ERROR_SUCCESS) {
        request.Complete(error, 0);
        return;
    }
    if (!result.accepted) {
        request.Complete(ERROR_GEN_FAILURE, 0);
        return;
    }
    auto* out = static_cast<std::uint8_t*>(request.output);
    std::memmove(out, request.input, std::min(request.inputSize, request.outputSize));
    SetupTransfer::StoreStatus(out, 0, 0);
    std::size_t dataBytes = result.dataOutCount;
    if (!result.dataIn.empty()) {
        // A device that answers more than the host asked for is cut off at the data area.
        dataBytes = std::min<std::size_t>(result.dataIn.size(), setup.bufferLength);
        std::memcpy(out + SetupTransfer::kSize, result.dataIn.data(), dataBytes);
    }
    request.Complete(ERROR_SUCCESS, static_cast<DWORD>(SetupTransfer::kSize + dataBytes));
}

void DriverConnection::BulkIn(const std::shared_ptr<platform::IoRequest>& request, bool buffered) {
    if (!request->input || request->inputSize < SetupTransfer::kSize) {
        request->Complete(ERROR_INVALID_PARAMETER, 0);
        return;
    }
    const SetupTransfer setup = SetupTransfer::Parse(InputBytes(*request));
    BulkRead read;
    read.request = request;
    read.connection = id;
    read.endpoint = setup.endpointAddress;
    if (buffered) {
        const std::uint64_t needed = SetupTransfer::kSize + std::uint64_t{setup.bufferLength};
        if (!request->output || request->outputSize < needed) {
            request->Complete(ERROR_INSUFFICIENT_BUFFER, 0);
            return;
        }
        auto* out = static_cast<std::uint8_t*>(request->output);
        std::memcpy(out, request->input, SetupTransfer::kSize);
        read.statusHeader = out;
        read.data = out + SetupTransfer::kSize;
        read.length = setup.bufferLength;
        read.headerBytes = SetupTransfer::kSize;
    } else {
        // Neither-buffered: the driver sees the caller's own header and writes its status there.
        read.statusHeader = const_cast<std::uint8_t*>(InputBytes(*request));
        read.data = static_cast<std::uint8_t*>(request->output);
        read.length = request->output ? request->outputSize : 0;
    }
    if (!IsBulkInEndpoint(read.endpoint)) {
        request->Complete(ERROR_INVALID_PARAMETER, 0);
        return;
    }
    if (read.length == 0) {
        DWORD error = camera->CheckPlugged(generation);
        request->Complete(error, error == ERROR_SUCCESS ? read.headerBytes : 0);
        return;
    }
    if (DWORD error = camera->QueueRead(generation, std::move(read)); error != ERROR_SUCCESS)
        request->Complete(error, 0);
}

void DriverConnection::EndpointRequest(platform::IoRequest& request) {
    DWORD error = ERROR_SUCCESS;
    if (request.code == kResetPort) {
        error = camera->ResetPort(generation);
    } else if (!request.input || request.inputSize < 1) {
        error = ERROR_INVALID_PARAMETER;
    } else {
        const std::uint8_t endpoint = InputBytes(request)[0];
        if (request.code == kAbortPipe)
            error = IsBulkInEndpoint(endpoint) ? camera->Abort(generation, endpoint) : ERROR_INVALID_PARAMETER;
        else
            error = IsBulkInEndpoint(endpoint) || endpoint == 0 ? camera->ResetPipe(generation, endpoint)
                                                                : ERROR_INVALID_PARAMETER;
    }
    request.Complete(error, 0);
}

void DriverConnection::BusSpeed(platform::IoRequest& request) {
    if (!request.output || request.outputSize < sizeof(std::uint32_t)) {
        request.Complete(ERROR_INSUFFICIENT_BUFFER, 0);
        return;
    }
    std::uint32_t code = 0;
    if (DWORD error = camera->BusSpeed(generation, code); error != ERROR_SUCCESS) {
        request.Complete(error, 0);
        return;
    }
    SetupTransfer::Store32(static_cast<std::uint8_t*>(request.output), code);
    request.Complete(ERROR_SUCCESS, sizeof(std::uint32_t));
}

}  // namespace kelvra::sim
