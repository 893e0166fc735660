#include "CameraHead.h"

#include <charconv>
#include <cstdio>
#include <sstream>
#include <utility>
#include <vector>

namespace kelvra::sim {

namespace {

const char* const kReplyOk = "OK\r\n";
const char* const kReplyRejected = "NG\r\n";
const char* const kDebugPassword = "5820364";

std::vector<std::string> Words(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

// A whole-word number in [0, max]; false for anything else (signs, garbage, overflow).
bool ParseNumber(const std::string& text, int base, unsigned max, unsigned& out) {
    if (text.empty() || text[0] == '+' || text[0] == '-') return false;
    const char* end = text.data() + text.size();
    auto [next, error] = std::from_chars(text.data(), end, out, base);
    return error == std::errc() && next == end && out <= max;
}

// "x" followed by one or two hexadecimal digits.
bool ParseHexByte(const std::string& text, unsigned& out) {
    return text.size() >= 2 && text.size() <= 3 && text[0] == 'x' && ParseNumber(text.substr(1), 16, 0xFF, out);
}

}  // namespace

void CameraHead::Receive(char c) {
    if (c == '\n') {
        EndLine();
        return;
    }
    if (c == '\0') return;
    if (line.size() == kMaxLine)
        lineTooLong = true;
    else
        line.push_back(c);
}

char CameraHead::NextReplyChar() {
    if (replyRead == reply.size()) return 0;
    const char c = reply[replyRead++];
    if (replyRead == reply.size()) {
        reply.clear();
        replyRead = 0;
    }
    return c;
}

void CameraHead::EndLine() {
    std::string command = std::move(line);
    line.clear();
    const bool tooLong = std::exchange(lineTooLong, false);
    if (!command.empty() && command.back() == '\r') command.pop_back();
    if (command.empty() && !tooLong) return;  // a bare line end is not a command; the head waits for the next one

    std::string reply;
    if (ignoreCommands > 0)
        --ignoreCommands;
    else if (rejectCommands > 0) {
        --rejectCommands;
        reply = kReplyRejected;
    } else
        reply = tooLong ? kReplyRejected : Execute(command);
    this->reply += reply;
    log.Add({command, reply});
}

std::string CameraHead::Execute(const std::string& command) {
    const auto words = Words(command);
    unsigned number = 0;
    if (words == std::vector<std::string>{"n"}) return "KELVRA-880HQLN-CL\r\n";
    if (words == std::vector<std::string>{"x", "-c"}) {
        state.commandModeCleared = true;
        return kReplyOk;
    }
    if (words.size() == 3 && words[1] == "-v" && words[0] == "i" && ParseNumber(words[2], 10, kExposureMax, number)) {
        state.exposure = static_cast<int>(number);
        return kReplyOk;
    }
    if (words.size() == 3 && words[1] == "-v" && words[0] == "g" && ParseNumber(words[2], 10, kGainMax, number)) {
        state.gain = static_cast<int>(number);
        return kReplyOk;
    }
    if (words == std::vector<std::string>{"d", "-y", kDebugPassword}) {
        state.debugMode = true;
        return "Welcome Debug Mode!\r\n";
    }
    if (words == std::vector<std::string>{"d", "-n"}) {
        state.debugMode = false;
        return "Good Bye!\r\n";
    }
    unsigned reg = 0;
    if (words.size() == 4 && words[0] == "q" && words[1] == "-w" && state.debugMode && ParseHexByte(words[2], reg) &&
        ParseHexByte(words[3], number))
        return WriteFpga(reg, number);
    return kReplyRejected;
}

std::string CameraHead::WriteFpga(unsigned reg, unsigned value) {
    const std::uint8_t old = fpga[reg];
    fpga[reg] = static_cast<std::uint8_t>(value);
    // The head takes over the trigger setting on the rising edge of its apply bit.
    if (reg == kApplyRegister && (old & 1) == 0 && (value & 1) == 1)
        state.triggerMode = (fpga[kTriggerRegister] & 1) != 0;
    char reply[48];
    std::snprintf(reply, sizeof reply, "Fpga Write   : 0x%02X : 0x%02X\r\n", reg, value);
    return reply;
}

}  // namespace kelvra::sim
