// Register numbers of the camera board's FPGA as the device core uses them. Multi-byte values sit
// in consecutive registers, low byte first; the names give the low register.
#pragma once

#include <cstdint>

namespace fpga {

constexpr uint8_t kFrameCounter = 8;
constexpr uint8_t kBoardRevision = 16;
constexpr uint8_t kTimingRevision = 17;  // boards whose timing words came with a later revision
constexpr uint8_t kStartUpState = 19;    // non-zero while the board still brings its sensor up
constexpr uint8_t kTrigger = 36;         // trigger enable, or the trigger mode bits on some boards
constexpr uint8_t kOutputEnable = 37;
constexpr uint8_t kTriggerArm = 48;
constexpr uint8_t kSensorEnable = 56;
constexpr uint8_t kDataWidth = 60;
constexpr uint8_t kTripleDataWidth = 61;  // boards with three samples per pixel
constexpr uint8_t kSensorStartMode = 62;
constexpr uint8_t kHeightLow = 64;  // also the board set-up register of the 0x30B0 family
constexpr uint8_t kBoardSetup = 64;
constexpr uint8_t kWidthLow = 68;
constexpr uint8_t kLineTimingLow = 72;
constexpr uint8_t kPixelTimingLow = 76;
constexpr uint8_t kTransferMode = 104;
constexpr uint8_t kTransferReset = 108;
constexpr uint8_t kModeSwitch = 144;
constexpr uint8_t kAltTransferReset = 150;  // registers of boards with the second register map
constexpr uint8_t kAltHeightLow = 154;
constexpr uint8_t kAltWidthLow = 156;
constexpr uint8_t kAltDataWidth = 163;
constexpr uint8_t kLevelLow = 208;
constexpr uint8_t kModeSwitchFlags = 209;
constexpr uint8_t kLevelHigh = 210;

// Switched off in this order, 1 ms apart, when a camera of the 0x3090 family closes (after
// kOutputEnable): leaving any of them on keeps the sensor powered.
constexpr uint8_t kPowerDownOrder[] = {36, 31, 35, 34, 32, 33, 224};

}  // namespace fpga
