#include "sensors/HeadConversation.h"

#include <map>
#include <mutex>
#include <string>

std::shared_ptr<CriticalSection> ConversationLockFor(const char* devicePath) {
    static std::mutex tableLock;
    static std::map<std::string, std::weak_ptr<CriticalSection>> table;
    if (devicePath == nullptr || devicePath[0] == '\0') return nullptr;
    std::lock_guard<std::mutex> hold(tableLock);
    // Paths of cameras that no driver holds any more would pile up over plug cycles.
    std::erase_if(table, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<CriticalSection>& slot = table[devicePath];
    std::shared_ptr<CriticalSection> lock = slot.lock();
    if (!lock) {
        lock = std::make_shared<CriticalSection>();
        slot = lock;
    }
    return lock;
}
