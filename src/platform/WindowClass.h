// Window classes, registered per module as on Windows: a name (compared without regard to
// case) is unique within one module, and every class also has a process-wide atom.
#pragma once

#include "kelvra/win32.h"

#include <memory>
#include <string>

namespace kelvra::platform {

struct WindowClass {
    WNDCLASSEXA info{};  // lpszClassName points at name
    std::string name;
    ATOM atom = 0;
    int windowCount = 0;  // guarded by the class registry's lock
};

// The module a null instance stands for: the executable, as GetModuleHandleA(NULL) returns it.
HINSTANCE MainModule();
HINSTANCE NormalizeInstance(HINSTANCE instance);

// Registers a copy of the class; 0 with the last error set on failure.
ATOM RegisterWindowClass(const WNDCLASSEXA& info);
bool UnregisterWindowClass(LPCSTR nameOrAtom, HINSTANCE instance);

// The class a window of the module would be created with: the module's own class, else a
// CS_GLOBALCLASS class of any module. Null with ERROR_CANNOT_FIND_WND_CLASS when there is none.
// With countWindow the class gains a window in the same step, so it cannot be unregistered
// between the look-up and the creation of the window.
std::shared_ptr<WindowClass> FindWindowClass(LPCSTR nameOrAtom, HINSTANCE instance, bool countWindow);

// A window of the class went away (or its creation failed).
void ReleaseClassWindow(WindowClass& windowClass);

}  // namespace kelvra::platform
