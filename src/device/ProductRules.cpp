#include "device/ProductRules.h"

#include <array>

namespace {

using StartUpRule::kSensorStartSequence, StartUpRule::kIdentifyHead, StartUpRule::kAwaitReadyWhenBusy,
    StartUpRule::kAwaitReadyThenWake;
using enum TriggerSwitch;
using ModeSwitchRule::kSwitchRegister, ModeSwitchRule::kAnalogMode, ModeSwitchRule::kFlagRegister;
using TimingFamily::kSettle, TimingFamily::kBoardSetup, TimingFamily::kFixed, TimingFamily::kByRevision,
    TimingFamily::kBinnedToEdge, TimingFamily::kBinnedLine, TimingFamily::kWindowOffset, TimingFamily::kReadoutFlag,
    TimingFamily::kBinnedLongLine, TimingFamily::kFullFrame;

constexpr TimingWords kShortLine{11, 0};
constexpr TimingWords kConverterTiming{20, 136};

// Only what differs from a plain board is written out.
constexpr std::array<ProductRules, 34> kRules = {{
    {.productId = 0x3020, .timing = kSettle},
    {.productId = 0x3030, .trigger = kFpgaGateWithCounterSync},
    {.productId = 0x3042, .singleTransfer = true},
    {.productId = 0x3050, .trigger = kFpgaGateWithCounterSync},
    {.productId = 0x3090, .powersDownOnClose = true},
    {.productId = 0x30B0, .timing = kBoardSetup, .boardSetupValue = 0xC0, .powersDownOnClose = true},
    {.productId = 0x30C0,
     .timing = kBoardSetup,
     .boardSetupValue = 0x22,
     .pulsesResetAfterTiming = true,
     .skipsTransferResetPulse = true,
     .powersDownOnClose = true},
    {.productId = 0x30F0, .trigger = kFpgaArm, .timing = kByRevision, .fixedTiming = {31, 12}},
    {.productId = 0x3100,
     .trigger = kFpgaArm,
     .timing = kFixed,
     .fixedTiming = kShortLine,
     .clearsTransferModeAfterTiming = true,
     .setsSensorBitDepth = true,
     .resetsPipeAfterFailure = true},
    {.productId = 0x3130,
     .timing = kFixed,
     .fixedTiming = kConverterTiming,
     .samplesPerPixel = 3,
     .resetsPipeAfterFailure = true},
    {.productId = 0x3140, .startUp = kSensorStartSequence},
    {.productId = 0x3150,
     .trigger = kFpgaMaskedMode,
     .modeSwitch = kSwitchRegister,
     .resetsPipeAfterFailure = true,
     .transferResetSettleMs = 100},
    {.productId = 0x3170, .trigger = kFpgaMaskedMode, .modeSwitch = kSwitchRegister, .resetsPipeAfterFailure = true},
    {.productId = 0x3180, .startUp = kIdentifyHead, .alwaysTwoBytes = true, .textChannel = true},
    {.productId = 0x3190, .givesUpOnMissedNewFrame = true},
    {.productId = 0x31B0,
     .timing = kFixed,
     .fixedTiming = kShortLine,
     .setsSensorBitDepth = true,
     .resetsPipeAfterFailure = true},
    {.productId = 0x31B4,
     .timing = kFixed,
     .fixedTiming = kShortLine,
     .setsSensorBitDepth = true,
     .resetsPipeAfterFailure = true},
    {.productId = 0x31C0, .timing = kBinnedToEdge, .setsSensorBitDepth = true, .resetsPipeAfterFailure = true},
    {.productId = 0x31C4, .timing = kBinnedLine, .setsSensorBitDepth = true, .resetsPipeAfterFailure = true},
    {.productId = 0x31E0,
     .startUp = kAwaitReadyWhenBusy,
     .modeSwitch = kAnalogMode,
     .timing = kFixed,
     .fixedTiming = kConverterTiming,
     .alternateRegisterMap = true,
     .resetsPipeAfterFailure = true,
     .copiesByBoardRevision = true},
    {.productId = 0x31F0, .timing = kWindowOffset},
    {.productId = 0x3200, .deferredExposure = true},
    {.productId = 0x3220, .modeSwitch = kSwitchRegister},
    {.productId = 0x3260,
     .trigger = kByFpgaVersion,
     .modeSwitch = kFlagRegister,
     .timing = kReadoutFlag,
     .setsSensorBitDepth = true},
    {.productId = 0x3270,
     .trigger = kByFpgaVersion,
     .modeSwitch = kFlagRegister,
     .timing = kReadoutFlag,
     .setsSensorBitDepth = true},
    {.productId = 0x3280, .trigger = kByFpgaVersion, .timing = kReadoutFlag, .setsSensorBitDepth = true},
    {.productId = 0x3290, .trigger = kByFpgaVersion, .timing = kReadoutFlag, .setsSensorBitDepth = true},
    {.productId = 0x32A0,
     .timing = kFixed,
     .fixedTiming = kShortLine,
     .setsSensorBitDepth = true,
     .resetsPipeAfterFailure = true},
    {.productId = 0x32B0, .timing = kFixed, .fixedTiming = {39, 79}, .pulsesResetAfterTiming = true},
    {.productId = 0x32C0, .startUp = kAwaitReadyThenWake, .timing = kFixed, .fixedTiming = {10, 32}},
    {.productId = 0x32D0,
     .timing = kFixed,
     .fixedTiming = kConverterTiming,
     .alternateRegisterMap = true,
     .resetsPipeAfterFailure = true},
    {.productId = 0x32E0, .timing = kBinnedLongLine, .setsSensorBitDepth = true},
    {.productId = 0x32F0, .timing = kBinnedLongLine, .setsSensorBitDepth = true},
    {.productId = 0x3300, .timing = kFullFrame, .setsSensorBitDepth = true},
}};
constexpr ProductRules kPlainBoard{};

}  // namespace

const ProductRules& RulesForProduct(int32_t productId) {
    for (const ProductRules& rules : kRules) {
        if (rules.productId == productId) return rules;
    }
    return kPlainBoard;
}
