#include <csignal>

#include "platform/console_output.h"

namespace tsl {

// A reader that went away would otherwise end the program by SIGPIPE.
void PrepareConsoleOutput() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace tsl
