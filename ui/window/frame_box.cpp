#include "ui/window/frame_box.h"

#include <string>

#include "ui/window/dpi.h"
#include "ui/window/window_helpers.h"

namespace tsl {
namespace {

constexpr COLORREF kCaptionColour = RGB(255, 255, 255);

void Paint(HWND window) {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window, &paint);
  const auto font = reinterpret_cast<HFONT>(GetWindowLongPtrA(window, GWLP_USERDATA));
  const HGDIOBJ previous_font =
      SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));

  const std::string caption = WindowText(window);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);

  RECT outline;
  GetClientRect(window, &outline);
  outline.top += metrics.tmHeight / 2;
  DrawEdge(dc, &outline, EDGE_ETCHED, BF_RECT);

  SIZE extent{};
  GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
  const auto background = reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
  const int dpi = WindowDpi(window);
  const int indent = ScaleFrom96(8, dpi);
  const int margin = ScaleFrom96(1, dpi);
  RECT caption_place{indent, 0, indent + extent.cx + 2 * margin, metrics.tmHeight};
  FillRect(dc, &caption_place, background);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kCaptionColour);
  TextOutA(dc, caption_place.left + margin, 0, caption.c_str(), static_cast<int>(caption.size()));

  SelectObject(dc, previous_font);
  EndPaint(window, &paint);
}

LRESULT CALLBACK FrameBoxProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_SETFONT:
      SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(wparam));
      if (LOWORD(lparam) != 0) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrA(window, GWLP_USERDATA);
    case WM_ERASEBKGND:  // the inside is the window's own background, seen through the box
      return 1;
    case WM_NCHITTEST:  // clicks fall through to the window, as on a system group box
      return HTTRANSPARENT;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

void RegisterFrameBoxClass(HINSTANCE instance, HBRUSH background) {
  RegisterWindowClass(instance, kFrameBoxClass, FrameBoxProc, background);
}

}  // namespace tsl
