// A picture box: a bordered panel in the window-background colour that shows a bitmap
// filling it (stretched with a smoothing filter when the DPI makes the box larger) and can
// hold the keyboard focus.
#pragma once

#include <windows.h>

namespace tsl {

inline constexpr const char* kPictureBoxClass = "TessalinePictureBox";

void RegisterPictureBoxClass(HINSTANCE instance);

// The bitmap stays owned by the caller and must outlive the picture box.
void SetPictureBitmap(HWND picture_box, HBITMAP bitmap);

}  // namespace tsl
