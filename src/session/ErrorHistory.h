// A session's last error codes, newest first. The application's threads and the session's worker
// threads record into it at the same time, so every change happens under its own lock.
#pragma once

#include <cstdint>
#include <mutex>

class ErrorHistory {
public:
    static constexpr int kEntries = 20;

    // Makes code the newest entry; the oldest of a full history is lost.
    void Push(int32_t code);
    // Takes the newest entry off; 0 when there is none.
    int32_t Pop();

private:
    std::mutex lock;                 // the entries: recorded and taken from any thread
    int32_t entries[kEntries] = {};  // entry 0 is the newest; 0 marks an empty entry
};
