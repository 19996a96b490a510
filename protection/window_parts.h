// The parts of the main window that the operations change: three captions, the activate
// button's enabled state, and the information message box. The Win32 window, the POSIX
// front end and the tests each provide them.
#pragma once

#include <string>

namespace tsl {

enum class Label {
  Label1,  // version
  Label2,  // blocked-servers count
  Label3,  // status
};

class WindowParts {
 public:
  virtual ~WindowParts() = default;
  virtual void SetCaption(Label label, const std::string& text) = 0;
  [[nodiscard]] virtual std::string Caption(Label label) const = 0;
  virtual void SetCommand2Enabled(bool enabled) = 0;
  // Modal: returns once the user has closed it.
  virtual void ShowInformation(const std::string& text) = 0;
};

}  // namespace tsl
