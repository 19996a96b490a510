// The console program's standard streams, set up by each platform before any command runs.
#pragma once

namespace tsl {

// Output that cannot be written is reported as a failed write, never by a signal that
// might end the program halfway through an operation; and the bytes written are the
// program's own, the same on every platform.
void PrepareConsoleOutput();

}  // namespace tsl
