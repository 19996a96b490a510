#include "ui/window/dpi.h"

#include "platform/win32/procedure.h"

namespace tsl {
namespace {

// Functions that Windows 10 added: looked up, so that the program still starts on Windows 7.
template <typename Function>
Function User32Function(const char* name) {
  return ProcedureOf<Function>(GetModuleHandleA("user32.dll"), name);
}

int ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kBaseDpi;
}

}  // namespace

int WindowDpi(HWND window) {
  static const auto get_dpi_for_window = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  const UINT dpi = get_dpi_for_window != nullptr ? get_dpi_for_window(window) : 0;
  return dpi > 0 ? static_cast<int>(dpi) : ScreenDpi();
}

int SystemDpi() {
  static const auto get_dpi_for_system = User32Function<UINT(WINAPI*)()>("GetDpiForSystem");
  const UINT dpi = get_dpi_for_system != nullptr ? get_dpi_for_system() : 0;
  return dpi > 0 ? static_cast<int>(dpi) : ScreenDpi();
}

RECT FrameForClient(const RECT& client, DWORD style, DWORD ex_style, int dpi) {
  static const auto adjust_for_dpi =
      User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT frame = client;
  if (adjust_for_dpi == nullptr ||
      !adjust_for_dpi(&frame, style, FALSE, ex_style, static_cast<UINT>(dpi))) {
    frame = client;
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  }
  return frame;
}

}  // namespace tsl
