// Why a command to a camera got no answer, as the device core and the session need to tell it
// apart from a refusal: a camera that is gone is not selected, one that refused a value is.
#pragma once

#include <cstdint>

enum class AnswerLoss : uint8_t {
    kNone,        // every command was answered (a refusal is an answer)
    kSilent,      // the camera was there but said nothing within the reply limit
    kLinkFailed,  // the bridge to the camera failed: device gone or an I/O error
};
