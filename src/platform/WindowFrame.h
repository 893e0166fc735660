// The fixed metrics of the virtual screen and of window frames. AdjustWindowRectEx and the
// client area of every window derive from the same insets, so the two always agree.
#pragma once

#include "kelvra/win32.h"

namespace kelvra::platform {

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

// How far the window rectangle extends beyond the client area on each side (all >= 0).
RECT FrameInsets(DWORD style, DWORD exStyle, bool hasMenu);

}  // namespace kelvra::platform
