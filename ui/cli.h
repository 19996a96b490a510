// The POSIX command-line front end: the window's load event and buttons as commands.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "protection/protection.h"

namespace tsl {

// Runs one command (args exclude the program name) and returns the exit status:
// 0 done, 2 usage error, 3 not available. A failing file step throws FileError.
int RunCommand(const std::vector<std::string>& args, const Machine& machine, std::ostream& out,
               std::ostream& err);

}  // namespace tsl
