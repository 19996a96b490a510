// Owners for the window system's handles.
#pragma once

#include <windows.h>

#include "support/unique_resource.h"

namespace tsl {

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle object) { DeleteObject(object); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle window) {
    if (IsWindow(window)) DestroyWindow(window);
  }
};
using UniqueWindow = UniqueResource<WindowTraits>;

}  // namespace tsl
