#include "WindowClass.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <vector>

namespace kelvra::platform {

namespace {

// Atoms of registered classes live in the range Windows gives to string atoms.
constexpr ATOM kFirstAtom = 0xC000;

struct ClassRegistry {
    std::mutex mutex;
    std::vector<std::shared_ptr<WindowClass>> classes;
    ATOM nextAtom = kFirstAtom;
};

ClassRegistry& Registry() {
    static auto* registry = new ClassRegistry;
    return *registry;
}

bool SameName(const std::string& a, const char* b) {
    const size_t length = std::char_traits<char>::length(b);
    return a.size() == length && std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool Names(const WindowClass& windowClass, LPCSTR nameOrAtom) {
    if (IS_INTRESOURCE(nameOrAtom))
        return windowClass.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(nameOrAtom));
    return SameName(windowClass.name, nameOrAtom);
}

std::vector<std::shared_ptr<WindowClass>>::iterator FindLocked(ClassRegistry& registry, LPCSTR nameOrAtom,
                                                               HINSTANCE instance) {
    return std::find_if(registry.classes.begin(), registry.classes.end(), [&](const auto& windowClass) {
        return windowClass->info.hInstance == instance && Names(*windowClass, nameOrAtom);
    });
}

}  // namespace

HINSTANCE MainModule() {
    // Any stable non-null value will do: nothing dereferences a module handle here.
    static char executableModule;
    return reinterpret_cast<HINSTANCE>(&executableModule);
}

HINSTANCE NormalizeInstance(HINSTANCE instance) { return instance ? instance : MainModule(); }

ATOM RegisterWindowClass(const WNDCLASSEXA& info) {
    if (info.cbSize != sizeof(WNDCLASSEXA) || info.lpszClassName == nullptr || info.lpfnWndProc == nullptr ||
        IS_INTRESOURCE(info.lpszClassName) || info.lpszClassName[0] == '\0' || info.cbClsExtra < 0 ||
        info.cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    const HINSTANCE instance = NormalizeInstance(info.hInstance);
    if (FindLocked(registry, info.lpszClassName, instance) != registry.classes.end()) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    if (registry.nextAtom == 0) {  // wrapped: the atom table is full
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    auto windowClass = std::make_shared<WindowClass>();
    windowClass->info = info;
    windowClass->info.hInstance = instance;
    windowClass->name = info.lpszClassName;
    windowClass->info.lpszClassName = windowClass->name.c_str();
    windowClass->info.lpszMenuName = nullptr;  // menus are not supported; never keep a caller's pointer
    windowClass->atom = registry.nextAtom++;
    registry.classes.push_back(windowClass);
    return windowClass->atom;
}

bool UnregisterWindowClass(LPCSTR nameOrAtom, HINSTANCE instance) {
    if (nameOrAtom == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    const auto found = FindLocked(registry, nameOrAtom, NormalizeInstance(instance));
    if (found == registry.classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return false;
    }
    if ((*found)->windowCount > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return false;
    }
    registry.classes.erase(found);
    return true;
}

std::shared_ptr<WindowClass> FindWindowClass(LPCSTR nameOrAtom, HINSTANCE instance, bool countWindow) {
    if (nameOrAtom != nullptr) {
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        auto found = FindLocked(registry, nameOrAtom, NormalizeInstance(instance));
        if (found == registry.classes.end()) {
            found = std::find_if(registry.classes.begin(), registry.classes.end(), [&](const auto& c) {
                return (c->info.style & CS_GLOBALCLASS) != 0 && Names(*c, nameOrAtom);
            });
        }
        if (found != registry.classes.end()) {
            if (countWindow) ++(*found)->windowCount;
            return *found;
        }
    }
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
}

void ReleaseClassWindow(WindowClass& windowClass) {
    std::lock_guard lock(Registry().mutex);
    --windowClass.windowCount;
}

}  // namespace kelvra::platform
