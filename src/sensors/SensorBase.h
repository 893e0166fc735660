// The interface through which the device core drives whatever sensor or camera head sits behind
// the USB controller. The virtual operations are listed, in their fixed slot order, in
// SensorOperations.def: drivers override a subset, and the base answers the rest as "not supported".
#pragma once

#include "common/CriticalSection.h"
#include "sensors/AnswerLoss.h"
#include "sensors/SensorParameters.h"

#include <atomic>
#include <cstdint>
#include <memory>

class CControllerBase;

class CSensorBase {
public:
    CSensorBase(CControllerBase* controller, uint8_t serialAddress);
    CSensorBase(const CSensorBase&) = delete;
    CSensorBase& operator=(const CSensorBase&) = delete;

    virtual ~CSensorBase();

#define KELVRA_SENSOR_OP(slot, kind, result, name, parameters) KELVRA_SENSOR_##kind virtual result name parameters;
#define KELVRA_SENSOR_CHECKED [[nodiscard]]
#define KELVRA_SENSOR_VALUE
#include "sensors/SensorOperations.def"
#undef KELVRA_SENSOR_VALUE
#undef KELVRA_SENSOR_CHECKED
#undef KELVRA_SENSOR_OP

    // Non-virtual state the device core reads and sets directly.
    CControllerBase* Controller() const { return controller; }
    uint8_t SerialAddress() const { return serialAddress; }
    int32_t Variant() const { return variant; }
    uint16_t FpgaVersion() const { return fpgaVersion; }
    void SetFpgaVersion(uint16_t version) { fpgaVersion = version; }
    const SensorParameters& Parameters() const { return params; }
    // How the sensor reads out: 1 normal, 2 mirrored, 3 upside down, 4 both. The device core
    // turns the frame round while it copies it to the caller.
    int32_t ReadoutOrientation() const { return readoutOrientation; }
    // Board revision of heads whose older revisions deliver one row short (model 0x31E0).
    int32_t Revision() const { return revision; }
    // The readout option last set (SetReadoutOption); the FPGA timing of some boards depends on it.
    int32_t ReadoutOptionValue() const { return readoutOption; }

    // The camera this driver talks to: drivers of every session that open the same path share
    // one conversation lock. A driver without a path (a bare controller in a test) keeps its own.
    void SetDevicePath(const char* devicePath);

    // Commands that belong together (identification, the stored settings of a selection) form a
    // sequence: once one of them got no answer because none could come, the rest fail unsent, so
    // a vanished or silent camera costs one reply limit, not one per command. Sequences nest.
    void BeginCommandSequence();
    void EndCommandSequence();
    // Why the last unanswered command got no answer; kNone again when a sequence begins.
    AnswerLoss LastAnswerLoss() const { return answerLoss.load(); }

protected:
    void NoteAnswerLoss(AnswerLoss loss) { answerLoss.store(loss); }
    bool SequenceCutOff() const { return sequenceDepth.load() > 0 && answerLoss.load() != AnswerLoss::kNone; }
    // Held for a whole command and its reply, and for each single register access.
    CriticalSection& Conversation() { return sharedConversation ? *sharedConversation : ownConversation; }

    SensorParameters params{};
    CControllerBase* controller;  // not owned; null leaves every hardware operation failing
    uint8_t serialAddress;        // 8-bit write form on the camera's I2C bus
    int32_t triggerMode = 0;
    uint16_t fpgaVersion = 0;
    int32_t variant = 0;
    int32_t readoutOrientation = 1;
    int32_t revision = 0;
    int32_t readoutOption = 0;

private:
    CriticalSection ownConversation;
    std::shared_ptr<CriticalSection> sharedConversation;
    std::atomic<int32_t> sequenceDepth{0};
    std::atomic<AnswerLoss> answerLoss{AnswerLoss::kNone};
};

// Keeps a command sequence open for a scope: of a sensor driver, or of a device, which hands it
// to the driver it has.
template <typename Party>
class [[nodiscard]] CommandSequence {
public:
    explicit CommandSequence(Party& party) : party(party) { party.BeginCommandSequence(); }
    ~CommandSequence() { party.EndCommandSequence(); }
    CommandSequence(const CommandSequence&) = delete;
    CommandSequence& operator=(const CommandSequence&) = delete;

private:
    Party& party;
};
