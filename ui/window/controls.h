// The main window's controls: one table of their kinds, captions and places.
#pragma once

#include <windows.h>

#include <array>

namespace tsl {

enum class ControlKind { kPicture, kFrame, kLabel, kButton };

// Control identifiers start above IDOK and IDCANCEL, which the dialog keys send.
enum ControlId : int {
  kPicture1 = 101,
  kPicture2,
  kFrame1,
  kFrame2,
  kFrame3,
  kLabel1,
  kLabel2,
  kLabel3,
  kCommand2,
  kCommand3,
  kCommand4,
};

struct ControlSpec {
  ControlId id;
  ControlKind kind;
  const char* caption;
  ControlId container;           // a frame, or 0 for the window's client area
  int left, top, width, height;  // twips, from the container's outer top-left corner
  bool centred;
  bool enabled;
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kClientWidthTwips = 5865;
inline constexpr int kClientHeightTwips = 5895;

// Top of the stacking order first. The focus moves through the pictures and buttons in
// this order; the pictures lie over each other, and the buttons and labels over the frames.
extern const std::array<ControlSpec, 11> kControls;

const ControlSpec& SpecOf(ControlId id);

// Twips are physical, 1/1440 inch: pixels = twips x dpi / 1440, rounded down. Every edge
// is converted from its own position in twips, so that neighbours stay neighbours, and at
// 96 dpi every place is the 15-twips-per-pixel one.
int TwipsToPixels(int twips, int dpi);

// The control's rectangle in pixels of the window's client area.
RECT ControlRect(const ControlSpec& spec, int dpi);

// The client area's size in pixels.
SIZE ClientSize(int dpi);

}  // namespace tsl
