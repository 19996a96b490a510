#include "ui/window/controls.h"

#include <algorithm>

#include "protection/window_texts.h"

namespace tsl {

const std::array<ControlSpec, 11> kControls = {{
    {kPicture1, ControlKind::kPicture, "", ControlId{}, 360, 120, 5145, 1995, false, true},
    {kPicture2, ControlKind::kPicture, "", ControlId{}, 0, 0, 5895, 2295, false, true},
    {kLabel3, ControlKind::kLabel, kLabel3Created.data(), kFrame1, 120, 240, 5415, 495, true, true},
    {kCommand2, ControlKind::kButton, "Activate", kFrame2, 1080, 360, 1695, 375, false, false},
    {kCommand3, ControlKind::kButton, "Deactivate", kFrame2, 2880, 360, 1695, 375, false, true},
    {kCommand4, ControlKind::kButton, "Exit", ControlId{}, 4320, 4440, 1335, 375, false, true},
    {kLabel2, ControlKind::kLabel, kLabel2Created.data(), kFrame3, 120, 600, 2775, 255, false,
     true},
    {kLabel1, ControlKind::kLabel, kLabel1Created.data(), kFrame3, 120, 360, 2895, 255, false,
     true},
    {kFrame1, ControlKind::kFrame, "Step 1: Locate Files TSL Needs to Alter", ControlId{}, 120,
     2520, 5655, 855, false, true},
    {kFrame2, ControlKind::kFrame, "Step 2", ControlId{}, 120, 3480, 5655, 855, false, true},
    {kFrame3, ControlKind::kFrame, "TSL Info Center", ControlId{}, 120, 4800, 5655, 975, false,
     true},
}};

const ControlSpec& SpecOf(ControlId id) {
  return *std::find_if(kControls.begin(), kControls.end(),
                       [id](const ControlSpec& spec) { return spec.id == id; });
}

int TwipsToPixels(int twips, int dpi) { return twips * dpi / kTwipsPerInch; }

RECT ControlRect(const ControlSpec& spec, int dpi) {
  int left = spec.left;
  int top = spec.top;
  if (spec.container != ControlId{}) {
    const ControlSpec& frame = SpecOf(spec.container);
    left += frame.left;
    top += frame.top;
  }
  return RECT{TwipsToPixels(left, dpi), TwipsToPixels(top, dpi),
              TwipsToPixels(left + spec.width, dpi), TwipsToPixels(top + spec.height, dpi)};
}

SIZE ClientSize(int dpi) {
  return SIZE{TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
}

}  // namespace tsl
