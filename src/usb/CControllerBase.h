// The controller interface through which the device core and every sensor driver reach the camera:
// registers, the camera's I2C bus (FPGA, EEPROM, auxiliary device, sensor chips) and stream abort.
// The slot order of the virtual operations is part of the design; do not reorder.
// Every operation returns non-zero on success; this base answers 0 (fails) for all of them.
#pragma once

#include <cstdint>

class CControllerBase {
public:
    CControllerBase() = default;
    CControllerBase(const CControllerBase&) = delete;
    CControllerBase& operator=(const CControllerBase&) = delete;

    virtual ~CControllerBase() = default;
    virtual int ReservedQuery() { return 0; }
    virtual void Close() {}
    [[nodiscard]] virtual int SelectDevice(int /*row*/) { return 0; }
    [[nodiscard]] virtual int ReadFpgaRegisterPair(uint16_t* /*value*/) { return 0; }
    // address: the 8-bit write form of the I2C address; at most 64 bytes per call.
    [[nodiscard]] virtual int I2cWrite(uint8_t /*address*/, const uint8_t* /*bytes*/, int /*count*/,
                                       uint32_t /*timeoutMs*/) {
        return 0;
    }
    [[nodiscard]] virtual int I2cRead(uint8_t /*address*/, uint8_t* /*bytes*/, int /*count*/, uint32_t /*timeoutMs*/) {
        return 0;
    }
    [[nodiscard]] virtual int WriteRegister32(uint16_t /*address*/, uint32_t /*value*/) { return 0; }
    [[nodiscard]] virtual int ReadRegister16(uint16_t /*address*/, int* /*value*/) { return 0; }
    [[nodiscard]] virtual int WriteRegisterPair(uint16_t /*address*/, uint16_t /*value*/) { return 0; }
    [[nodiscard]] virtual int ReadRegisterWord(uint16_t /*address*/, int* /*value*/) { return 0; }
    [[nodiscard]] virtual int WriteFpgaRegister(uint8_t /*reg*/, uint8_t /*value*/) { return 0; }
    [[nodiscard]] virtual int ReadFpgaRegister(uint8_t /*reg*/, uint8_t* /*value*/) { return 0; }
    [[nodiscard]] virtual int WriteAuxRegister(uint8_t /*reg*/, uint8_t /*value*/) { return 0; }
    [[nodiscard]] virtual int ReadAuxRegister(uint8_t /*reg*/, uint8_t* /*value*/) { return 0; }
    [[nodiscard]] virtual int AbortStream() { return 0; }
};
