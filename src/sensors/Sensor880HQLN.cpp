#include "sensors/Sensor880HQLN.h"

#include "usb/CControllerBase.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kBridgeRegister = 0x0000;  // the head's serial bridge: one character per access
constexpr int kI2cTimeoutMs = 3000;
constexpr DWORD kCharacterPauseMs = 10;
constexpr uint8_t kFpgaHeadStatus = 0xFF;
constexpr uint8_t kFpgaHeadMode = 0x3C;
constexpr uint8_t kHeadFpgaTrigger = 0x30;
constexpr uint8_t kHeadFpgaApply = 0x3C;
constexpr int kFpgaAttempts = 10;
constexpr int kIdentifyRetries = 10;
constexpr int kCommandRetries = 3;

std::atomic<int32_t> headDebugMode{0};
std::atomic<DWORD> defaultReplyTimeLimitMs{CSensor880HQLN::kReplyTimeLimitMs};

// A reply matches only as a whole line: a partial line that happens to be a prefix of the
// expected text (a register read that failed mid-line) is not an answer.
bool IsReply(const char* line, int32_t count, const char* expected) {
    const size_t length = std::strlen(expected);
    return count >= 0 && static_cast<size_t>(count) == length && std::memcmp(line, expected, length) == 0;
}

}  // namespace

CSensor880HQLN::CSensor880HQLN(CControllerBase* controllerInterface, uint8_t address)
    : CSensorCommon(controllerInterface, address), replyTimeLimitMs(defaultReplyTimeLimitMs.load()) {
    params.sensorWidth = 1280;
    params.sensorHeight = 1024;
    params.frameWidth = 1280;
    params.frameHeight = 1024;
    params.windowWidth = 1280;
    params.windowHeight = 1024;
    params.gainMin = 0;
    params.gainMax = 255;
    params.gain = 128;
    params.gainDefault = 128;
    params.gainSupported = 1;
    params.exposureMin = 1;
    params.exposureMax = 1000000;
    params.exposure = 10000;
    params.exposureDefault = 10000;
    params.exposureSupported = 1;
    params.exposureTimeMin = 1;
    params.exposureTimeMax = 10000;
    params.exposureTime = 100;
    params.exposureTimeDefault = 100;
    params.pixelClockKHz = 72000;
    params.auxParameter1 = 2;
    variant = 100;
}

int32_t CSensor880HQLN::IsCameraReady() {
    if (controller == nullptr) return 0;
    uint8_t status = 0;
    return controller->ReadFpgaRegister(kFpgaHeadStatus, &status) && status == 4 ? 1 : 0;
}

int32_t CSensor880HQLN::Initialize() { return SetWindow(0, 2048, 0, 1024, 0); }

int32_t CSensor880HQLN::WaitForFpgaRegister(uint8_t reg, uint8_t value) {
    for (int attempt = 0; attempt < kFpgaAttempts; ++attempt) {
        // The read-back below is the check, and a lost write is simply tried again.
        static_cast<void>(controller->WriteFpgaRegister(reg, value));
        Sleep(kCharacterPauseMs);
        uint8_t readBack = 0;
        if (controller->ReadFpgaRegister(reg, &readBack) && readBack == value) return 1;
    }
    return 0;
}

void CSensor880HQLN::SetDefaultReplyTimeLimit(DWORD milliseconds) { defaultReplyTimeLimitMs.store(milliseconds); }

int32_t CSensor880HQLN::Identify() {
    if (controller == nullptr) return 0;
    CommandSequence sequence(*this);
    if (!WaitForFpgaRegister(kFpgaHeadStatus, 4)) return 0;
    if (!Transact(kIdentifyRetries, "n\r\n", "KELVRA-880HQLN-CL\r\n")) return 0;
    // The head works without this mode switch on older boards, so a board that never confirms
    // it does not stop the identification.
    WaitForFpgaRegister(kFpgaHeadMode, 2);
    return Transact(kCommandRetries, "x -c\r\n");
}

int32_t CSensor880HQLN::SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    StoreWindow(x, width, y, height, mode);
    return 1;
}

int32_t CSensor880HQLN::SetTriggerMode(int32_t mode) {
    CommandSequence sequence(*this);
    WriteHeadFpgaRegister(kHeadFpgaTrigger, mode == 1 ? 1 : 0);
    WriteHeadFpgaRegister(kHeadFpgaApply, 0);
    WriteHeadFpgaRegister(kHeadFpgaApply, 1);
    triggerMode = mode;
    return 1;
}

int32_t CSensor880HQLN::SetBitDepth(int32_t wide) {
    params.bitsPerPixel = wide ? 16 : 8;
    return SetWindow(params.windowX, params.windowWidth, params.windowY, params.windowHeight, params.windowMode);
}

int32_t CSensor880HQLN::SetExposure(int32_t value) {
    value = std::min(value, params.exposureMax);
    char command[32];
    std::snprintf(command, sizeof(command), "i -v %d\n", value);
    if (!Transact(kCommandRetries, command)) return 0;
    params.exposure = value;
    return 1;
}

int32_t CSensor880HQLN::SetGain(int32_t value) {
    value = std::min(value, params.gainMax);
    char command[32];
    std::snprintf(command, sizeof(command), "g -v %d\n", value);
    if (!Transact(kCommandRetries, command)) return 0;
    params.gain = value;
    return 1;
}

int32_t CSensor880HQLN::SetExposureTime(int32_t time) {
    // One exposure-time unit is 100 us; the head counts in units of 70/40 us.
    // Clamped before the conversion: a time beyond the range must not overflow the integer.
    const double headUnits = std::clamp(std::trunc(time * 40.0 * 100 / 70), static_cast<double>(INT32_MIN),
                                        static_cast<double>(params.exposureMax));
    if (!SetExposure(static_cast<int32_t>(headUnits))) return 0;
    params.exposureTime = time;
    return 1;
}

int32_t CSensor880HQLN::WriteRegister(uint32_t address, uint32_t value) {
    if (controller == nullptr) return 0;
    const uint8_t bytes[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                              static_cast<uint8_t>(value)};
    CriticalSectionGuard hold(Conversation());
    return controller->I2cWrite(serialAddress, bytes, 3, kI2cTimeoutMs) ? 1 : 0;
}

int32_t CSensor880HQLN::ReadRegister(uint32_t address, uint32_t* value) {
    if (controller == nullptr || value == nullptr) return 0;
    const uint8_t addressBytes[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    uint8_t readBack = 0;
    CriticalSectionGuard hold(Conversation());
    if (!controller->I2cWrite(serialAddress, addressBytes, 2, kI2cTimeoutMs)) return 0;
    if (!controller->I2cRead(serialAddress, &readBack, 1, kI2cTimeoutMs)) return 0;
    *value = readBack;
    return 1;
}

int32_t CSensor880HQLN::ReceiveText(char* buffer, int32_t capacity) {
    bool linkFailed = false;
    CriticalSectionGuard hold(Conversation());
    return ReceiveLine(buffer, capacity, linkFailed);
}

int32_t CSensor880HQLN::ReceiveLine(char* buffer, int32_t capacity, bool& linkFailed) {
    // Room for the longest line that is kept: 255 characters, then CR stored as CR LF.
    char line[kLineLimit + 1];
    int32_t count = 0;
    for (;;) {
        uint32_t received = 0;
        if (!ReadRegister(kBridgeRegister, &received)) {
            linkFailed = true;
            break;
        }
        Sleep(kCharacterPauseMs);
        const char character = static_cast<char>(received);
        if (character == '\0' || character == '\n') {
            if (count == 0) return 0;
            line[count++] = character;
            break;
        }
        if (character == '\r') {
            if (count == 0) return 0;
            line[count++] = '\r';
            line[count++] = '\n';
            break;
        }
        line[count++] = character;
        if (count >= kLineLimit) return 0;
    }
    const int32_t delivered = buffer == nullptr ? 0 : std::clamp(capacity, 0, count);
    if (delivered > 0) std::memcpy(buffer, line, static_cast<size_t>(delivered));
    Sleep(kCharacterPauseMs);
    return count;
}

int32_t CSensor880HQLN::SendText(const char* text, int32_t length) {
    bool linkFailed = false;
    CriticalSectionGuard hold(Conversation());
    return SendCharacters(text, length, linkFailed);
}

int32_t CSensor880HQLN::SendCharacters(const char* text, int32_t length, bool& linkFailed) {
    char pending[kLineLimit];
    // Drains a reply still waiting from an earlier command; there may be none.
    static_cast<void>(ReceiveLine(pending, sizeof(pending), linkFailed));
    if (text == nullptr) return 0;
    int32_t result = 0;
    for (int32_t i = 0; i < length && text[i] != '\0'; ++i) {
        result = WriteRegister(kBridgeRegister, static_cast<uint8_t>(text[i]));
        Sleep(kCharacterPauseMs);
        if (!result) {
            linkFailed = true;
            break;
        }
    }
    return result;
}

bool CSensor880HQLN::SendCommand(const char* command) {
    bool linkFailed = false;
    const int32_t sent = SendCharacters(command, static_cast<int32_t>(std::strlen(command)), linkFailed);
    return sent != 0 && !linkFailed;
}

int32_t CSensor880HQLN::Transact(int32_t retries, const char* command, const char* expected) {
    if (controller == nullptr) return 0;  // nothing could ever answer
    // The command and every line of its reply are one exchange: another session's driver on the
    // same camera would otherwise read characters of this reply, or send into the middle of it.
    CriticalSectionGuard hold(Conversation());
    if (SequenceCutOff()) return 0;
    // A bridge that fails carries no reply either: waiting for one would only run out the limit.
    if (!SendCommand(command)) {
        NoteAnswerLoss(AnswerLoss::kLinkFailed);
        return 0;
    }
    const DWORD start = timeGetTime();
    int32_t retried = 0;
    char line[kLineLimit];
    for (;;) {
        bool linkFailed = false;
        const int32_t count = ReceiveLine(line, sizeof(line), linkFailed);
        if (linkFailed) {
            NoteAnswerLoss(AnswerLoss::kLinkFailed);
            return 0;
        }
        if (timeGetTime() - start > replyTimeLimitMs) {
            NoteAnswerLoss(AnswerLoss::kSilent);
            return 0;
        }
        if (count <= 0) continue;  // the receiver has already paused for a character time
        if (IsReply(line, count, "NG\r\n")) {
            // A command the head rejected as often as allowed is not sent once more: that last
            // copy could still take effect after the caller was told it failed.
            if (++retried >= retries) return 0;
            if (!SendCommand(command)) {
                NoteAnswerLoss(AnswerLoss::kLinkFailed);
                return 0;
            }
            continue;
        }
        if (IsReply(line, count, expected)) return 1;
        Sleep(kCharacterPauseMs);
    }
}

int32_t CSensor880HQLN::DebugModeState() { return headDebugMode.load(); }

int32_t CSensor880HQLN::SetDebugMode(int32_t on) {
    const int32_t wanted = on ? 1 : 0;
    if (wanted == headDebugMode.load()) return 1;
    const int32_t done = wanted ? Transact(kCommandRetries, "d -y 5820364\r\n", "Welcome Debug Mode!\r\n")
                                : Transact(kCommandRetries, "d -n\r\n", "Good Bye!\r\n");
    if (done) headDebugMode.store(wanted);
    return done;
}

int32_t CSensor880HQLN::WriteHeadFpgaRegister(uint8_t reg, uint8_t value) {
    char command[32];
    char reply[48];
    std::snprintf(command, sizeof(command), "q -w x%02x x%02x\n", reg, value);
    std::snprintf(reply, sizeof(reply), "Fpga Write   : 0x%02X : 0x%02X\r\n", reg, value);
    CommandSequence sequence(*this);
    if (!SetDebugMode(1)) return 0;
    if (Transact(kCommandRetries, command, reply)) return 1;
    if (SequenceCutOff()) return 0;  // no answer could come: a second attempt would wait in vain
    // The process-wide state cannot see a head that left debug mode on its own (power cycle,
    // another camera of the process): enter it once more before giving up on the write.
    headDebugMode.store(0);
    if (!SetDebugMode(1)) return 0;
    return Transact(kCommandRetries, command, reply);
}
