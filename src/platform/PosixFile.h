// Small RAII helpers for POSIX file descriptors and their flock locks.
#pragma once

#include <utility>

namespace kelvra::platform {

// Owns a file descriptor; closing it also drops any flock the descriptor holds.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.fd, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd; }
    explicit operator bool() const { return fd >= 0; }
    void Reset(int fd = -1);

private:
    int fd = -1;
};

// flock() that resumes after signals. `operation` is LOCK_SH, LOCK_EX, optionally | LOCK_NB.
bool LockFile(int fd, int operation);

}  // namespace kelvra::platform
