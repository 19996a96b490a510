// Dots per inch, as the window sees them: per monitor on Windows 10 and later, the
// system's on earlier versions, which have no per-window value.
#pragma once

#include <windows.h>

namespace tsl {

inline constexpr int kBaseDpi = 96;

// The DPI of the monitor the window is on (GetDpiForWindow), else of the screen.
int WindowDpi(HWND window);

// The DPI a window gets when it is created, before it is placed on a monitor.
int SystemDpi();

// The window rectangle that has `client` as its client area at `dpi`.
RECT FrameForClient(const RECT& client, DWORD style, DWORD ex_style, int dpi);

// A length given in pixels at 96 dpi, at `dpi`.
inline int ScaleFrom96(int pixels, int dpi) { return MulDiv(pixels, dpi, kBaseDpi); }

}  // namespace tsl
