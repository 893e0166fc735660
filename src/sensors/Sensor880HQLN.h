// Driver of the 880HQLN short-wave-infrared head. The head has its own controller: the driver
// talks to it with a line-oriented text protocol carried one character at a time through
// register 0x0000 of a serial bridge on the camera's I2C bus, and writes the head's own FPGA
// registers through a text command that the head accepts only in its debug mode.
#pragma once

#include "kelvra/win32.h"
#include "sensors/SensorCommon.h"

class CSensor880HQLN : public CSensorCommon {
public:
    // The head gets a minute to answer a command; tests shorten it with SetReplyTimeLimit.
    static constexpr DWORD kReplyTimeLimitMs = 60000;
    // Longest line the receiver assembles; the 256th character without a line end discards it.
    static constexpr int kLineLimit = 256;

    CSensor880HQLN(CControllerBase* controller, uint8_t serialAddress);

    int32_t IsCameraReady() override;
    [[nodiscard]] int32_t Initialize() override;
    [[nodiscard]] int32_t Identify() override;
    [[nodiscard]] int32_t SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    [[nodiscard]] int32_t SetTriggerMode(int32_t mode) override;
    [[nodiscard]] int32_t SetBitDepth(int32_t wide) override;
    [[nodiscard]] int32_t SetExposure(int32_t value) override;
    [[nodiscard]] int32_t SetGain(int32_t value) override;
    [[nodiscard]] int32_t SetExposureTime(int32_t time) override;
    [[nodiscard]] int32_t WriteRegister(uint32_t address, uint32_t value) override;
    [[nodiscard]] int32_t ReadRegister(uint32_t address, uint32_t* value) override;
    [[nodiscard]] int32_t ReceiveText(char* buffer, int32_t capacity) override;
    [[nodiscard]] int32_t SendText(const char* text, int32_t length) override;

    // Debug mode of the head is one state for the whole process, not per camera.
    int32_t SetDebugMode(int32_t on);
    static int32_t DebugModeState();

    int32_t WriteHeadFpgaRegister(uint8_t reg, uint8_t value);

    // One command and its answer: the head gets the command again after each "NG", lines that
    // are neither "NG" nor the expected reply (echoes, other output) are skipped.
    int32_t Transact(int32_t retries, const char* command, const char* expected = "OK\r\n");

    void SetReplyTimeLimit(DWORD milliseconds) { replyTimeLimitMs = milliseconds; }
    // The limit drivers made from now on start with; for tests that reach a driver only through a
    // session. The SDK library does not export it.
    static void SetDefaultReplyTimeLimit(DWORD milliseconds);

private:
    // ReceiveText and SendText, also telling a failed bridge access (linkFailed) from a head that
    // has nothing to say.
    int32_t ReceiveLine(char* buffer, int32_t capacity, bool& linkFailed);
    int32_t SendCharacters(const char* text, int32_t length, bool& linkFailed);
    // False when the command did not reach the head whole.
    bool SendCommand(const char* command);
    int32_t WaitForFpgaRegister(uint8_t reg, uint8_t value);

    DWORD replyTimeLimitMs;
};
