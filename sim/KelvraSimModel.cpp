// The C++ test API of the simulated cameras.
#include "kelvra/KelvraSimModel.h"

#include "Registry.h"

namespace kelvra::sim {

namespace {

// f(model) for a known camera, else the empty result R{}.
template <class R, class F>
R OnModel(int camera, F&& f) {
    auto found = Registry::Instance().Find(camera);
    if (!found) return R{};
    return found->WithModel([&](CameraModel& model) -> R { return f(model); });
}

}  // namespace

std::vector<ControlRecord> ControlLog(int camera) {
    return OnModel<std::vector<ControlRecord>>(camera, [](CameraModel& m) { return m.Log().control.Snapshot(); });
}

std::vector<I2cRecord> I2cLog(int camera) {
    return OnModel<std::vector<I2cRecord>>(camera, [](CameraModel& m) { return m.Log().i2c.Snapshot(); });
}

std::vector<FpgaWrite> FpgaWriteLog(int camera) {
    return OnModel<std::vector<FpgaWrite>>(camera, [](CameraModel& m) { return m.Log().fpgaWrites.Snapshot(); });
}

std::vector<HeadCommand> HeadLog(int camera) {
    return OnModel<std::vector<HeadCommand>>(camera, [](CameraModel& m) { return m.Log().headCommands.Snapshot(); });
}

std::vector<ChipWrite> ChipWriteLog(int camera) {
    return OnModel<std::vector<ChipWrite>>(camera, [](CameraModel& m) { return m.Log().chipWrites.Snapshot(); });
}

std::vector<EndpointRequest> EndpointLog(int camera) {
    return OnModel<std::vector<EndpointRequest>>(camera, [](CameraModel& m) { return m.Log().endpoints.Snapshot(); });
}

std::vector<HeadRegisterWrite> HeadRegisterLog(int camera) {
    return OnModel<std::vector<HeadRegisterWrite>>(camera,
                                                   [](CameraModel& m) { return m.Log().headRegisters.Snapshot(); });
}

bool ClearLogs(int camera) {
    return OnModel<bool>(camera, [](CameraModel& m) {
        m.Log().Clear();
        return true;
    });
}

std::optional<std::uint16_t> PeekFpga(int camera, std::uint8_t reg) {
    return OnModel<std::optional<std::uint16_t>>(camera, [&](CameraModel& m) { return m.GetBoard().Fpga().Peek(reg); });
}

bool PokeFpga(int camera, std::uint8_t reg, std::uint16_t value) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        m.GetBoard().Fpga().Poke(reg, value);
        return true;
    });
}

std::optional<std::uint8_t> PeekEeprom(int camera, std::uint16_t address) {
    return OnModel<std::optional<std::uint8_t>>(camera,
                                                [&](CameraModel& m) { return m.GetBoard().Eeprom().Peek(address); });
}

bool PokeEeprom(int camera, std::uint16_t address, std::uint8_t value) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        m.GetBoard().Eeprom().Poke(address, value);
        return true;
    });
}

bool LoseEepromWrites(int camera, int count) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        m.GetBoard().Eeprom().LoseWrites(count);
        return true;
    });
}

std::optional<std::uint8_t> PeekI2c(int camera, std::uint8_t address, std::uint16_t reg) {
    return OnModel<std::optional<std::uint8_t>>(camera, [&](CameraModel& m) -> std::optional<std::uint8_t> {
        if (const ChipRegisterFile* chip = m.GetBoard().Chip(address)) return chip->PeekByte(reg);
        MemoryDevice* device = m.GetBoard().Generic(address);
        if (!device) return std::nullopt;
        return device->Peek(reg);
    });
}

bool PokeI2c(int camera, std::uint8_t address, std::uint16_t reg, std::uint8_t value) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        if (ChipRegisterFile* chip = m.GetBoard().Chip(address)) {
            chip->PokeByte(reg, value);
            return true;
        }
        MemoryDevice* device = m.GetBoard().Generic(address);
        if (device) device->Poke(reg, value);
        return device != nullptr;
    });
}

std::optional<std::uint16_t> PeekChip(int camera, std::uint8_t address, std::uint16_t reg) {
    return OnModel<std::optional<std::uint16_t>>(camera, [&](CameraModel& m) -> std::optional<std::uint16_t> {
        const ChipRegisterFile* chip = m.GetBoard().Chip(address);
        if (!chip) return std::nullopt;
        return chip->Peek(reg);
    });
}

bool PokeChip(int camera, std::uint8_t address, std::uint16_t reg, std::uint16_t value) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        ChipRegisterFile* chip = m.GetBoard().Chip(address);
        if (chip) chip->Poke(reg, value);
        return chip != nullptr;
    });
}

bool LoseChipWrites(int camera, std::uint8_t address, int count) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        ChipRegisterFile* chip = m.GetBoard().Chip(address);
        if (chip) chip->LoseWrites(count);
        return chip != nullptr;
    });
}

bool HoldFpgaBusy(int camera, int reads) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        m.GetBoard().Fpga().HoldBusy(reads);
        return true;
    });
}

bool SetVideoSync(int camera, VideoSync state) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        m.GetBoard().Fpga().SetVideoSync(state);
        return true;
    });
}

bool SetBusSpeed(int camera, std::uint32_t code) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        m.SetBusSpeed(code);
        return true;
    });
}

bool SetReadyState(int camera, std::uint8_t state) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        m.SetReadyState(state);
        return true;
    });
}

bool SetChipVersion(int camera, std::uint16_t version) {
    return OnModel<bool>(camera, [&](CameraModel& m) { return m.GetBoard().SetChipVersion(version); });
}

std::optional<InfoRecord> GetInfoRecord(int camera, int which) {
    if (which != 1 && which != 2) return std::nullopt;
    return OnModel<std::optional<InfoRecord>>(camera, [&](CameraModel& m) { return m.Info(which); });
}

bool SetInfoRecord(int camera, int which, const InfoRecord& record) {
    if (which != 1 && which != 2) return false;
    return OnModel<bool>(camera, [&](CameraModel& m) {
        m.Info(which) = record;
        return true;
    });
}

std::optional<bool> IsHeadIdentified(int camera) {
    return OnModel<std::optional<bool>>(camera, [](CameraModel& m) -> std::optional<bool> {
        if (!m.GetBoard().Head()) return std::nullopt;
        return m.GetBoard().Fpga().Peek(BoardFpga::kIdentification) == 4;
    });
}

std::optional<HeadState> GetHeadState(int camera) {
    return OnModel<std::optional<HeadState>>(camera, [](CameraModel& m) -> std::optional<HeadState> {
        const CameraHead* head = m.GetBoard().Head();
        if (!head) return std::nullopt;
        return head->State();
    });
}

std::optional<std::uint8_t> PeekHeadFpga(int camera, std::uint8_t reg) {
    return OnModel<std::optional<std::uint8_t>>(camera, [&](CameraModel& m) -> std::optional<std::uint8_t> {
        const CameraHead* head = m.GetBoard().Head();
        if (!head) return std::nullopt;
        return head->Fpga(reg);
    });
}

std::optional<std::uint8_t> PeekHeadRegister(int camera, std::uint16_t reg) {
    return OnModel<std::optional<std::uint8_t>>(camera, [&](CameraModel& m) -> std::optional<std::uint8_t> {
        const ModelHeadRegisters* head = m.GetBoard().ModelHead();
        if (!head) return std::nullopt;
        return head->Peek(reg);
    });
}

bool SetHeadReading(int camera, HeadReading which, int value) {
    return OnModel<bool>(camera, [&](CameraModel& m) {
        ModelHeadRegisters* head = m.GetBoard().ModelHead();
        return head != nullptr && head->SetReading(which, value);
    });
}

std::optional<std::string> DevicePath(int camera) {
    auto found = Registry::Instance().Find(camera);
    if (!found) return std::nullopt;
    return found->Path();
}

std::optional<std::uint32_t> FrameCounter(int camera) {
    return OnModel<std::optional<std::uint32_t>>(
        camera, [](CameraModel& m) { return m.FrameCounter(FrameClock::Clock::now()); });
}

}  // namespace kelvra::sim
