// Small helpers shared by the window and its own control classes.
#pragma once

#include <windows.h>

#include <string>

namespace tsl {

// Registers a window class of this program: arrow cursor, the given procedure and brush.
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

// A window's caption, however long.
inline std::string WindowText(HWND window) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(
      static_cast<size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace tsl
