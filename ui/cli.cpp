#include "ui/cli.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "protection/hosts_file.h"
#include "protection/protection_state.h"
#include "protection/window_state.h"
#include "ui/failure_report.h"
#include "ui/form_load.h"

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
      << (window.command2_enabled ? kActivateEnabled : kActivateDisabled) << '\n'
      << Printable(window.Caption(Label::Label1)) << '\n'
      << Printable(window.Caption(Label::Label2)) << '\n';
}

int Run(const std::string& command, const Machine& machine, std::ostream& out, std::ostream& err) {
  WindowState window;
  std::string hosts_file;
  if (command == "status" || command == "state") {
    // The window trusts "Blocked" where it cannot read the files; a script is told instead,
    // so the state is had once, failures and all, and the start-up shows it.
    const bool found = LocateHostsFile(machine.files, hosts_file);
    const ProtectionState state = CurrentProtectionState(machine, hosts_file);
    ShowStartUpState(machine, found, state == ProtectionState::kOn, window);
    if (command == "status") {
      PrintStatus(window, out);
      return kExitDone;
    }
    out << StateWord(state) << '\n';
    return state == ProtectionState::kOn ? kExitDone : kExitOff;
  }
  Form_Load(machine, hosts_file, window);
  if (command == "refresh") {
    if (!RefreshProtection(machine, hosts_file, window)) {
      err << kNothingToRefresh << '\n';
      return kExitOff;
    }
  } else if (command == "activate") {
    if (!window.command2_enabled) {
      err << kActivateNotAvailable << Printable(window.Caption(Label::Label3)) << '\n';
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

namespace {

// The code point of the well-formed UTF-8 sequence at the start of text, and its length; a
// length of 0 when it is not one (a stray byte, an overlong form, a surrogate, a cut end).
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t point = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2, point = lead & 0x1fU;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3, point = lead & 0x0fU;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4, point = lead & 0x07U;
  }
  if (length == 0 || text.size() < length) return {0, 0};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xc0U) != 0x80) return {0, 0};
    point = (point << 6U) | (byte(i) & 0x3fU);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < smallest[length] || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff)) {
    return {0, 0};
  }
  return {point, length};
}

// C1 controls act on 8-bit terminals; the bidi and format marks reorder what follows them,
// so that a name could show as another.
bool IsInvisibleControl(char32_t point) {
  return (point >= 0x80 && point <= 0x9f) || point == 0x61c || point == 0x200e || point == 0x200f ||
         (point >= 0x202a && point <= 0x202e) || (point >= 0x2066 && point <= 0x2069);
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string printable;
  printable.reserve(text.size());
  const auto escape = [&](const char* form, unsigned value) {
    char written[16];
    std::snprintf(written, sizeof written, form, value);
    printable += written;
  };
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const auto byte = static_cast<unsigned char>(c);
    std::size_t length = 1;
    if (c == '\n') {
      printable += "\\n";
    } else if (c == '\r') {
      printable += "\\r";
    } else if (c == '\t') {
      printable += "\\t";
    } else if (byte >= 0x20 && byte < 0x7f) {
      printable.push_back(c);
    } else {
      // A control byte of ASCII, or the first byte of a UTF-8 sequence.
      const auto [point, decoded] =
          byte < 0x80 ? std::pair<char32_t, std::size_t>{} : DecodeUtf8(text.substr(at));
      if (decoded == 0) {
        escape("\\x%02x", byte);
      } else {
        length = decoded;
        if (IsInvisibleControl(point)) {
          escape("\\u%04x", static_cast<unsigned>(point));
        } else {
          printable.append(text.substr(at, length));
        }
      }
    }
    at += length;
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
