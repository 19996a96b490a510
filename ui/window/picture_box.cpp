#include "ui/window/picture_box.h"

#include "ui/window/window_helpers.h"

namespace tsl {
namespace {

void Paint(HWND window) {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window, &paint);
  const auto bitmap = reinterpret_cast<HBITMAP>(GetWindowLongPtrA(window, GWLP_USERDATA));
  BITMAP info{};
  if (bitmap != nullptr && GetObjectA(bitmap, sizeof info, &info) != 0) {
    const HDC memory = CreateCompatibleDC(dc);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT client;
    GetClientRect(window, &client);
    if (client.right == info.bmWidth && client.bottom == info.bmHeight) {
      BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    } else {
      // Above 96 dpi the banner fills the box, smoothed rather than in blocks of pixels.
      SetStretchBltMode(dc, HALFTONE);
      SetBrushOrgEx(dc, 0, 0, nullptr);
      StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, info.bmWidth, info.bmHeight,
                 SRCCOPY);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
  }
  EndPaint(window, &paint);
}

LRESULT CALLBACK PictureBoxProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

void RegisterPictureBoxClass(HINSTANCE instance) {
  RegisterWindowClass(instance, kPictureBoxClass, PictureBoxProc,
                      reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
}

void SetPictureBitmap(HWND picture_box, HBITMAP bitmap) {
  SetWindowLongPtrA(picture_box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bitmap));
  InvalidateRect(picture_box, nullptr, TRUE);
}

}  // namespace tsl
