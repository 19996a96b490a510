// The command-line front end (tessaline on POSIX, tessaline-cli.exe on Windows): the
// window's load event and buttons as commands.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "protection/protection.h"
#include "ui/program_texts.h"  // what the commands print besides the window's texts

namespace tsl {

// Exit statuses: done, a step failed, usage error, not available, protection is not on.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotAvailable = 3;
inline constexpr int kExitOff = 4;

// Runs one command (args exclude the program name) and returns the exit status. A failed
// step is reported on err as one line, with status 1; so is output that could not be
// written.
int RunCommand(const std::vector<std::string>& args, const Machine& machine, std::ostream& out,
               std::ostream& err);

// Runs body and returns its status; any exception that leaves it is reported on err as
// one line and gives status 1.
int ReportingFailures(std::ostream& err, const std::function<int()>& body);

// The text with each control character written as an escape (\n, \t, \x1b, C1 and bidi
// controls as \u009b, \u202e) and each byte that is not UTF-8 as \xNN, so that nothing read
// from a file, a path or a setting acts on the terminal; other UTF-8 stays as it is.
std::string Printable(std::string_view text);

}  // namespace tsl
