#include "SerialBridge.h"

namespace kelvra::sim {

bool SerialBridge::Write(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 2) pointer = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
    if (pointer != kCharacterPort) return registers.Write(bytes);
    for (std::size_t i = 2; i < bytes.size(); ++i) head.Receive(static_cast<char>(bytes[i]));
    return true;
}

bool SerialBridge::Read(std::span<std::uint8_t> bytes) {
    if (pointer != kCharacterPort) return registers.Read(bytes);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(head.NextReplyChar());
    return true;
}

}  // namespace kelvra::sim
