#include "session/ErrorHistory.h"

#include <algorithm>

void ErrorHistory::Push(int32_t code) {
    std::lock_guard<std::mutex> hold(lock);
    std::copy_backward(entries, entries + kEntries - 1, entries + kEntries);
    entries[0] = code;
}

int32_t ErrorHistory::Pop() {
    std::lock_guard<std::mutex> hold(lock);
    const int32_t newest = entries[0];
    std::copy(entries + 1, entries + kEntries, entries);
    entries[kEntries - 1] = 0;
    return newest;
}
