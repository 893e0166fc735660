#include "ErrorText.h"

#include "kelvra/KelvraSdk.h"

std::string DescribeError(int32_t code) {
    const char* text = "unknown error";
    switch (code) {
        case KELVRA_ERR_NONE:
            text = "no error recorded";
            break;
        case KELVRA_ERR_NOT_READY:
            text = "the session is not ready for this";
            break;
        case KELVRA_ERR_NO_DEVICE:
            text = "the camera is not present or cannot be opened";
            break;
        case KELVRA_ERR_THREAD:
            text = "a worker thread could not be started";
            break;
        case KELVRA_ERR_WINDOW:
            text = "the preview window could not be made";
            break;
        case KELVRA_ERR_MEMORY:
            text = "out of memory, or a buffer is too small";
            break;
        case KELVRA_ERR_CAMERA_IO:
            text = "the camera did not answer a register access";
            break;
        case KELVRA_ERR_SIZE:
            text = "the capture window is out of range";
            break;
        case KELVRA_ERR_TRANSFER:
            text = "a frame could not be read from the camera";
            break;
        case KELVRA_ERR_PARAMETER:
            text = "an argument is out of range";
            break;
        case KELVRA_ERR_UNSUPPORTED:
            text = "the camera does not offer this";
            break;
        case KELVRA_ERR_FAILED:
            text = "the operation failed";
            break;
        case KELVRA_ERR_DEVICE_LOST:
            text = "the camera stopped answering";
            break;
        case KELVRA_ERR_MASK_FILE:
            text = "the mask file is not valid";
            break;
        default:
            break;
    }
    return std::string(text) + " (error " + std::to_string(code) + ")";
}
