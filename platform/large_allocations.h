// How the process's heap treats the few large buffers an operation holds (a hosts file, a
// block list, each some tens of MiB at most).
#pragma once

namespace tsl {

// Each large buffer gets pages of its own that go back to the system when it is freed, so
// that the process's peak memory is what it holds at one time, not what its heap kept.
// Called once at start-up, before any such buffer.
void GiveLargeBuffersTheirOwnPages();

}  // namespace tsl
