// A controller whose I2C bus carries a scripted 880HQLN head behind its serial bridge and whose
// board FPGA is a plain register file. It lets the text protocol be driven character by character,
// including replies no real head would send.
#pragma once

#include "usb/CControllerBase.h"

#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class FakeHeadController : public CControllerBase {
public:
    static constexpr uint8_t kBridgeAddress = 0x48;

    // Complete command lines the head received, line ends removed.
    std::vector<std::string> commands;
    std::map<uint8_t, uint8_t> fpga;
    std::vector<std::pair<uint8_t, uint8_t>> fpgaWrites;
    int ngReplies = 0;        // the next n commands are answered "NG\r\n"
    int silentCommands = 0;   // the next n commands get no answer
    bool echo = false;        // the head repeats each command before answering
    bool crOnly = false;      // the head ends its replies with CR alone
    int failReadsAfter = -1;  // bridge reads that succeed before every further one fails
    int failWritesAfter = -1;

    void QueueReply(const std::string& text) {
        std::lock_guard<std::mutex> hold(lock);
        replies.insert(replies.end(), text.begin(), text.end());
    }
    size_t PendingReplyCharacters() {
        std::lock_guard<std::mutex> hold(lock);
        return replies.size();
    }
    size_t CountCommands(const std::string& command) const {
        size_t n = 0;
        for (const auto& c : commands) n += c == command ? 1 : 0;
        return n;
    }

    int I2cWrite(uint8_t address, const uint8_t* bytes, int count, uint32_t) override {
        if (address != kBridgeAddress || count < 2) return 0;
        if (count == 2) return 1;  // register pointer for the next read
        if (failWritesAfter == 0) return 0;
        if (failWritesAfter > 0) --failWritesAfter;
        std::lock_guard<std::mutex> hold(lock);
        const char character = static_cast<char>(bytes[2]);
        if (character != '\n') {
            partial += character;
            return 1;
        }
        std::string line = partial;
        partial.clear();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        commands.push_back(line);
        Answer(line);
        return 1;
    }

    int I2cRead(uint8_t address, uint8_t* bytes, int count, uint32_t) override {
        if (address != kBridgeAddress || count != 1) return 0;
        if (failReadsAfter == 0) return 0;
        if (failReadsAfter > 0) --failReadsAfter;
        std::lock_guard<std::mutex> hold(lock);
        bytes[0] = 0;
        if (!replies.empty()) {
            bytes[0] = static_cast<uint8_t>(replies.front());
            replies.pop_front();
        }
        return 1;
    }

    int WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        fpga[reg] = value;
        fpgaWrites.emplace_back(reg, value);
        return 1;
    }

    int ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        *value = fpga[reg];
        return 1;
    }

private:
    void Answer(const std::string& line) {
        if (echo) replies.insert(replies.end(), line.begin(), line.end()), replies.push_back('\n');
        if (silentCommands > 0) {
            --silentCommands;
            return;
        }
        std::string reply = "NG\r\n";
        unsigned reg = 0, value = 0;
        int number = 0;
        if (ngReplies > 0) {
            --ngReplies;
        } else if (line == "n") {
            reply = "KELVRA-880HQLN-CL\r\n";
        } else if (line == "x -c" || std::sscanf(line.c_str(), "i -v %d", &number) == 1 ||
                   std::sscanf(line.c_str(), "g -v %d", &number) == 1) {
            reply = "OK\r\n";
        } else if (line == "d -y 5820364") {
            debugMode = true;
            reply = "Welcome Debug Mode!\r\n";
        } else if (line == "d -n") {
            debugMode = false;
            reply = "Good Bye!\r\n";
        } else if (debugMode && std::sscanf(line.c_str(), "q -w x%x x%x", &reg, &value) == 2) {
            char text[48];
            std::snprintf(text, sizeof(text), "Fpga Write   : 0x%02X : 0x%02X\r\n", reg, value);
            reply = text;
        }
        if (crOnly) reply.pop_back();
        replies.insert(replies.end(), reply.begin(), reply.end());
    }

    std::mutex lock;
    std::string partial;
    std::deque<char> replies;
    bool debugMode = false;
};
