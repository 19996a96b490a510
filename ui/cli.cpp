#include "ui/cli.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "protection/protection_state.h"
#include "ui/failure_report.h"
#include "ui/form_load.h"
#include "ui/window_state.h"

namespace tsl {
namespace {

constexpr std::string_view kUsage =
    "usage: tessaline [status | state | activate | deactivate | refresh | --help | --version]\n"
    "  status      show whether the hosts file was found and protection is on (default)\n"
    "  state       print one word for scripts: on, off, section-missing, unrecorded or\n"
    "              no-hosts-file\n"
    "  activate    back the hosts file up and redirect the tracking servers to 127.0.0.1\n"
    "  deactivate  restore the hosts file from its backup\n"
    "  refresh     while protection is on, block the servers of the current block list\n";

constexpr std::string_view kCommands[] = {"status",  "state",  "activate", "deactivate",
                                          "refresh", "--help", "--version"};

void PrintStatus(const WindowState& window, std::ostream& out) {
  out << Printable(window.Caption(Label::Label3)) << '\n'
      << "Activate: " << (window.command2_enabled ? "enabled" : "disabled") << '\n'
      << Printable(window.Caption(Label::Label1)) << '\n'
      << Printable(window.Caption(Label::Label2)) << '\n';
}

int Run(const std::string& command, const Machine& machine, std::ostream& out, std::ostream& err) {
  WindowState window;
  std::string hosts_file;
  Form_Load(machine, hosts_file, window);

  if (command == "status" || command == "state") {
    // The window trusts "Blocked" where it cannot read the files; a script is told instead.
    const ProtectionState state = CurrentProtectionState(machine, hosts_file);
    if (command == "status") {
      PrintStatus(window, out);
      return kExitDone;
    }
    out << StateWord(state) << '\n';
    return state == ProtectionState::kOn ? kExitDone : kExitOff;
  }
  if (command == "refresh") {
    if (!RefreshProtection(machine, hosts_file, window)) {
      err << "Protection is off; nothing to refresh.\n";
      return kExitOff;
    }
  } else if (command == "activate") {
    if (!window.command2_enabled) {
      err << "Activate is not available: " << Printable(window.Caption(Label::Label3)) << '\n';
      return kExitNotAvailable;
    }
    ActivateProtection(machine, hosts_file, window);
  } else {
    DeactivateProtection(machine, hosts_file, window);
    if (!window.information_shown.empty()) {
      err << Printable(window.information_shown.back()) << '\n';
      return kExitNotAvailable;
    }
  }
  out << Printable(window.Caption(Label::Label3)) << '\n';
  return kExitDone;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string printable;
  printable.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      printable += "\\n";
    } else if (c == '\r') {
      printable += "\\r";
    } else if (c == '\t') {
      printable += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      printable += escape;
    } else {
      printable.push_back(c);
    }
  }
  return printable;
}

int ReportingFailures(std::ostream& err, const std::function<int()>& body) {
  std::string failure;
  try {
    return body();
  } catch (...) {
    failure = CurrentFailure();
  }
  err << "tessaline: " << Printable(failure) << '\n';
  return kExitFailed;
}

int RunCommand(const std::vector<std::string>& args, const Machine& machine, std::ostream& out,
               std::ostream& err) {
  const std::string command = args.empty() ? "status" : args.front();
  int status = kExitDone;
  if (args.size() > 1 ||
      std::find(std::begin(kCommands), std::end(kCommands), command) == std::end(kCommands)) {
    err << kUsage;
    status = kExitUsage;
  } else if (command == "--help") {
    out << kUsage;
  } else if (command == "--version") {
    out << "tessaline " << VersionText() << '\n';
  } else {
    status = ReportingFailures(err, [&] { return Run(command, machine, out, err); });
  }
  // What the command did is of no use to a caller that never got to read it.
  if (!out.flush()) {
    err << "tessaline: could not write the output\n";
    return kExitFailed;
  }
  return status;
}

}  // namespace tsl
