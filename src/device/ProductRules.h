// What sets one camera model apart from the others in the device core: start-up, trigger switch,
// mode switch, timing words, data width and transfer recovery. The device reads its product's
// row; an unlisted product gets the row of a plain board (all rules off).
#pragma once

#include <cstdint>

// What the device does after the sensor exists and before it asks whether the camera is ready.
enum class StartUpRule : uint8_t {
    kNone,
    kSensorStartSequence,  // sensor enable off, start mode 3, sensor enable on
    kIdentifyHead,         // a head not yet ready is identified
    kAwaitReadyWhenBusy,   // polls the ready state when the board is still starting or is a late revision
    kAwaitReadyThenWake,   // a busy board is polled; then the sensor wakes, or falls back to its reset
};

// How a trigger mode reaches the camera.
enum class TriggerSwitch : uint8_t {
    kSensor,                   // the sensor alone; mode 1 takes over the frame counter
    kFpgaGateWithCounterSync,  // FPGA trigger gate, sensor, then the frame counter is synchronised
    kFpgaArm,                  // sensor in trigger mode, FPGA arm register follows the mode
    kFpgaMaskedMode,           // mode bits straight into the FPGA trigger register
    kByFpgaVersion,            // older boards as kSensor, newer ones arm during a next-frame stream
};

enum class ModeSwitchRule : uint8_t {
    kNone,
    kSwitchRegister,  // one FPGA register holds on or off
    kAnalogMode,      // the sensor's analog mode; the step for "on" is kept in the SROM
    kFlagRegister,    // bit 0 of the flags register, on boards whose FPGA version says so; with a level
};

// Which formula gives the line and pixel timing words after the image size.
enum class TimingFamily : uint8_t {
    kNone,
    kSettle,          // no words; the board needs 200 ms
    kBoardSetup,      // no words; one board set-up value
    kFixed,           // the row's fixed words
    kByRevision,      // fixed words from a timing revision on, zero before
    kBinnedToEdge,    // binned: fixed; else the columns from the window to the right edge
    kBinnedLine,      // binned: one line word, else another
    kWindowOffset,    // words follow the window's start
    kReadoutFlag,     // words depend on binning, full height and the readout option's support
    kBinnedLongLine,  // any subsampling shortens the line word
    kFullFrame,       // the full frame and the readout option pick the words
};

struct TimingWords {
    int32_t line;
    int32_t pixel;
};

struct ProductRules {
    uint16_t productId = 0;
    StartUpRule startUp = StartUpRule::kNone;
    TriggerSwitch trigger = TriggerSwitch::kSensor;
    ModeSwitchRule modeSwitch = ModeSwitchRule::kNone;
    TimingFamily timing = TimingFamily::kNone;
    TimingWords fixedTiming{0, 0};  // kFixed and kByRevision
    uint8_t boardSetupValue = 0;    // kBoardSetup
    bool pulsesResetAfterTiming = false;
    bool clearsTransferModeAfterTiming = false;
    // Data width
    bool setsSensorBitDepth = false;    // the driver sets the sensor's depth before the board's register
    bool alwaysTwoBytes = false;        // transfers two bytes per pixel whatever is asked
    bool alternateRegisterMap = false;  // image size, data width and transfer reset elsewhere
    uint8_t samplesPerPixel = 1;
    // Streaming
    bool singleTransfer = false;          // one transfer per frame, no FPGA register access
    bool resetsPipeAfterFailure = false;  // the bulk pipe stalls after a failed transfer until reset
    bool skipsTransferResetPulse = false;
    uint16_t transferResetSettleMs = 0;
    bool givesUpOnMissedNewFrame = false;  // a next-new-frame stream ends at its first failure
    bool copiesByBoardRevision = false;    // older revisions deliver one row short
    bool deferredExposure = false;         // a new exposure only between frames, from the acquisition thread
    bool textChannel = false;              // the head talks text over its serial bridge
    bool powersDownOnClose = false;
};

const ProductRules& RulesForProduct(int32_t productId);
