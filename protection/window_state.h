// The window's mutable parts held as plain values: the POSIX front end's window, and the
// window that tests watch.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "protection/window_parts.h"
#include "protection/window_texts.h"

namespace tsl {

class WindowState final : public WindowParts {
 public:
  void SetCaption(Label label, const std::string& text) override {
    captions[static_cast<size_t>(label)] = text;
  }
  [[nodiscard]] std::string Caption(Label label) const override {
    return captions[static_cast<size_t>(label)];
  }
  void SetCommand2Enabled(bool enabled) override { command2_enabled = enabled; }
  void ShowInformation(const std::string& text) override { information_shown.push_back(text); }

  std::array<std::string, 3> captions = {std::string(kLabel1Created), std::string(kLabel2Created),
                                         std::string(kLabel3Created)};
  bool command2_enabled = false;
  std::vector<std::string> information_shown;
};

}  // namespace tsl
