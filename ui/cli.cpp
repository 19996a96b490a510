#include "ui/cli.h"

#include "ui/form_load.h"
#include "ui/window_state.h"

namespace tsl {
namespace {

constexpr int kDone = 0;
constexpr int kUsageError = 2;
constexpr int kNotAvailable = 3;

constexpr std::string_view kUsage =
    "usage: tessaline [status | activate | deactivate | --help | --version]\n"
    "  status      show whether the hosts file was found and protection is on (default)\n"
    "  activate    back the hosts file up and redirect the tracking servers to 127.0.0.1\n"
    "  deactivate  restore the hosts file from its backup\n";

void PrintStatus(const WindowState& window, std::ostream& out) {
  out << window.Caption(Label::Label3) << '\n'
      << "Activate: " << (window.command2_enabled ? "enabled" : "disabled") << '\n'
      << window.Caption(Label::Label1) << '\n'
      << window.Caption(Label::Label2) << '\n';
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, const Machine& machine, std::ostream& out,
               std::ostream& err) {
  const std::string command = args.empty() ? "status" : args.front();
  if (args.size() > 1) {
    err << kUsage;
    return kUsageError;
  }
  if (command == "--help") {
    out << kUsage;
    return kDone;
  }
  if (command == "--version") {
    out << "tessaline " << VersionText() << '\n';
    return kDone;
  }
  if (command != "status" && command != "activate" && command != "deactivate") {
    err << kUsage;
    return kUsageError;
  }

  WindowState window;
  std::string hosts_file;
  Form_Load(machine, hosts_file, window);

  if (command == "status") {
    PrintStatus(window, out);
    return kDone;
  }
  if (command == "activate") {
    if (!window.command2_enabled) {
      err << "Activate is not available: " << window.Caption(Label::Label3) << '\n';
      return kNotAvailable;
    }
    ActivateProtection(machine, hosts_file, window);
  } else {
    DeactivateProtection(machine, hosts_file, window);
    if (!window.information_shown.empty()) {
      err << window.information_shown.back() << '\n';
      return kNotAvailable;
    }
  }
  out << window.Caption(Label::Label3) << '\n';
  return kDone;
}

}  // namespace tsl
