// The message functions of user32: posting, sending, retrieving and dispatching.
#include "ThreadQueue.h"
#include "Window.h"

using namespace kelvra::platform;

namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

// A window filter must name a window of the calling thread: no other window's messages can
// ever be in this queue, and waiting for one would never end.
bool ValidFilterWindow(HWND hwnd) {
    if (hwnd == nullptr || hwnd == kThreadMessagesOnly) return true;
    const auto window = FindWindowObject(hwnd);
    if (window && window->queue && window->threadId == GetCurrentThreadId()) return true;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
}

void PostToTopLevelWindows(UINT message, WPARAM wParam, LPARAM lParam) {
    for (HWND hwnd : TopLevelWindows()) PostToWindow(hwnd, message, wParam, lParam);
}

WPARAM CharacterOfKey(WPARAM key) {
    if (key >= 'A' && key <= 'Z') return key - 'A' + 'a';
    if ((key >= '0' && key <= '9') || key == VK_SPACE || key == VK_BACK || key == VK_TAB || key == VK_RETURN ||
        key == VK_ESCAPE)
        return key;
    return 0;
}

}  // namespace

extern "C" {

WINUSERAPI BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == nullptr) return CurrentQueue()->Post(nullptr, Msg, wParam, lParam) ? TRUE : FALSE;
    if (hWnd == HWND_BROADCAST) {
        PostToTopLevelWindows(Msg, wParam, lParam);
        return TRUE;
    }
    return PostToWindow(hWnd, Msg, wParam, lParam) ? TRUE : FALSE;
}

WINUSERAPI BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const auto queue = FindQueue(idThread);
    if (!queue || !queue->Post(nullptr, Msg, wParam, lParam)) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return TRUE;
}

WINUSERAPI BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (!ValidFilterWindow(hWnd)) return FALSE;
    const MessageFilter filter{hWnd, wMsgFilterMin, wMsgFilterMax};
    return CurrentQueue()->Retrieve(*lpMsg, filter, (wRemoveMsg & PM_REMOVE) != 0, false) ? TRUE : FALSE;
}

WINUSERAPI BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return -1;
    }
    if (!ValidFilterWindow(hWnd)) return -1;
    const MessageFilter filter{hWnd, wMsgFilterMin, wMsgFilterMax};
    CurrentQueue()->Retrieve(*lpMsg, filter, true, true);
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

WINUSERAPI BOOL WINAPI WaitMessage(void) {
    CurrentQueue()->WaitForInput();
    return TRUE;
}

WINUSERAPI void WINAPI PostQuitMessage(int nExitCode) { CurrentQueue()->PostQuit(nExitCode); }

// Key strokes become characters as on a US keyboard without shift state: letters in lower
// case, digits and the control keys that have a character of their own.
WINUSERAPI BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (lpMsg == nullptr) return FALSE;
    const UINT message = lpMsg->message;
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN) return message == WM_KEYUP || message == WM_SYSKEYUP;
    const WPARAM character = CharacterOfKey(lpMsg->wParam);
    if (character != 0) {
        const UINT charMessage = message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
        if (lpMsg->hwnd)
            PostToWindow(lpMsg->hwnd, charMessage, character, lpMsg->lParam);
        else
            CurrentQueue()->Post(nullptr, charMessage, character, lpMsg->lParam);
    }
    return TRUE;
}

WINUSERAPI LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (lpMsg == nullptr || lpMsg->hwnd == nullptr) return 0;
    if (!FindWindowObject(lpMsg->hwnd)) return 0;
    return CallWindowProcedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

WINUSERAPI LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return SendToWindow(hWnd, Msg, wParam, lParam);
}

WINUSERAPI LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

WINUSERAPI DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    const auto window = FindWindowObject(hWnd);
    if (!window) return 0;
    if (lpdwProcessId) *lpdwProcessId = GetCurrentProcessId();
    return window->threadId;
}

}  // extern "C"
