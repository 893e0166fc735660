// A window class whose procedure records every message, for the windowing tests.
#pragma once

#include "kelvra/win32.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kelvra::test {

struct RecordedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD threadId;
};

class MessageLog {
public:
    static MessageLog& Instance() {
        static MessageLog log;
        return log;
    }

    void Add(const RecordedMessage& message) {
        std::lock_guard lock(mutex);
        messages.push_back(message);
    }

    std::vector<RecordedMessage> Take() {
        std::lock_guard lock(mutex);
        return std::exchange(messages, {});
    }

    // The messages of one kind, in order.
    std::vector<RecordedMessage> Take(UINT message) {
        std::vector<RecordedMessage> matching;
        for (const auto& recorded : Take()) {
            if (recorded.message == message) matching.push_back(recorded);
        }
        return matching;
    }

private:
    std::mutex mutex;
    std::vector<RecordedMessage> messages;
};

inline LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageLog::Instance().Add({hwnd, message, wParam, lParam, GetCurrentThreadId()});
    if (message == WM_USER + 1)  // answers sent messages with a recognisable result
        return static_cast<LRESULT>(wParam) * 2;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Registers a class with RecordingProc for the lifetime of the object.
class TestClass {
public:
    explicit TestClass(const char* name, WNDPROC proc = RecordingProc, HBRUSH background = nullptr) : name(name) {
        WNDCLASSEXA info{};
        info.cbSize = sizeof(info);
        info.lpfnWndProc = proc;
        info.hInstance = GetModuleHandleA(nullptr);
        info.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        info.hbrBackground = background;
        info.lpszClassName = name;
        atom = RegisterClassExA(&info);
    }
    ~TestClass() { UnregisterClassA(name.c_str(), GetModuleHandleA(nullptr)); }
    TestClass(const TestClass&) = delete;
    TestClass& operator=(const TestClass&) = delete;

    ATOM Atom() const { return atom; }
    const char* Name() const { return name.c_str(); }

    HWND Create(DWORD style = WS_OVERLAPPEDWINDOW, HWND parent = nullptr, int id = 0, int x = 10, int y = 20,
                int width = 320, int height = 240) const {
        return CreateWindowExA(0, name.c_str(), "test", style, x, y, width, height, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    }

private:
    std::string name;
    ATOM atom = 0;
};

// Handles whatever the calling thread still has queued (paints stay queued until handled).
inline void DrainQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace kelvra::test
