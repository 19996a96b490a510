// Registers a window class of this program: arrow cursor, the given procedure and brush.
#pragma once

#include <windows.h>

namespace tsl {

inline void RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure,
                                HBRUSH background, HICON icon = nullptr) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = icon;
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = background;
  window_class.lpszClassName = name;
  RegisterClassA(&window_class);
}

}  // namespace tsl
