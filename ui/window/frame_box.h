// A group box: the platform's etched outline with a white caption at its top left (a themed
// system group box keeps the theme's caption colour whatever the window asks for).
#pragma once

#include <windows.h>

namespace tsl {

inline constexpr const char* kFrameBoxClass = "TessalineFrame";

// background: the brush behind the caption; the inside of the box is left to the window.
void RegisterFrameBoxClass(HINSTANCE instance, HBRUSH background);

}  // namespace tsl
