#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/console_output.h"

namespace tsl {

// A write to a pipe whose reader went away fails on Windows without a signal. Text mode
// would turn every LF into CR LF: the lines stay LF-terminated, as on POSIX, which cmd's
// for /f, PowerShell and the console all read as lines.
void PrepareConsoleOutput() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace tsl
