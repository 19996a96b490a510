// A group box: the platform's etched outline with a caption at its top left, drawn in
// colours of the window's choosing (a themed or system group box keeps its own text colour).
#pragma once

#include <windows.h>

namespace tsl {

inline constexpr const char* kFrameBoxClass = "TessalineFrame";

// background: the brush of the box and of its caption's background; text: the caption colour.
void RegisterFrameBoxClass(HINSTANCE instance, HBRUSH background, COLORREF text);

}  // namespace tsl
