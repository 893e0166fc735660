#include "WindowFrame.h"

namespace kelvra::platform {

namespace {

constexpr int kBorder = 1;
constexpr int kFixedFrame = 3;
constexpr int kSizingFrame = 4;
constexpr int kEdge = 2;
constexpr int kCaption = 23;
constexpr int kSmallCaption = 19;
constexpr int kMenu = 20;
constexpr int kScrollBar = 17;
constexpr int kTaskbar = 40;

}  // namespace

RECT FrameInsets(DWORD style, DWORD exStyle, bool hasMenu) {
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = kSizingFrame;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        frame = kFixedFrame;
    else if (style & WS_BORDER)
        frame = kBorder;
    if (exStyle & WS_EX_CLIENTEDGE) frame += kEdge;

    int top = frame;
    if ((style & WS_CAPTION) == WS_CAPTION) top += (exStyle & WS_EX_TOOLWINDOW) ? kSmallCaption : kCaption;
    if (hasMenu) top += kMenu;
    return RECT{frame, top, frame, frame};
}

}  // namespace kelvra::platform

using namespace kelvra::platform;

extern "C" {

WINUSERAPI BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle) {
    if (lpRect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const RECT insets = FrameInsets(dwStyle, dwExStyle, bMenu != FALSE);
    lpRect->left -= insets.left;
    lpRect->top -= insets.top;
    lpRect->right += insets.right;
    lpRect->bottom += insets.bottom;
    return TRUE;
}

WINUSERAPI BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu) {
    return AdjustWindowRectEx(lpRect, dwStyle, bMenu, 0);
}

WINUSERAPI int WINAPI GetSystemMetrics(int nIndex) {
    switch (nIndex) {
        case SM_CXSCREEN:
        case SM_CXVIRTUALSCREEN:
        case SM_CXFULLSCREEN:
            return kScreenWidth;
        case SM_CYSCREEN:
        case SM_CYVIRTUALSCREEN:
            return kScreenHeight;
        case SM_CYFULLSCREEN:
            return kScreenHeight - kTaskbar - kCaption;
        case SM_XVIRTUALSCREEN:
        case SM_YVIRTUALSCREEN:
        case SM_CXPADDEDBORDER:
            return 0;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return kBorder;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return kFixedFrame;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return kSizingFrame;
        case SM_CXEDGE:
        case SM_CYEDGE:
            return kEdge;
        case SM_CYCAPTION:
            return kCaption;
        case SM_CYSMCAPTION:
            return kSmallCaption;
        case SM_CYMENU:
            return kMenu;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return kScrollBar;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        case SM_CXMIN:
        case SM_CXMINTRACK:
            return 136;
        case SM_CYMIN:
        case SM_CYMINTRACK:
            return kCaption + 2 * kSizingFrame;
        case SM_CXMAXIMIZED:
            return kScreenWidth + 2 * kSizingFrame;
        case SM_CYMAXIMIZED:
            return kScreenHeight - kTaskbar + 2 * kSizingFrame;
        case SM_CMONITORS:
            return 1;
        default:
            return 0;
    }
}

}  // extern "C"
