// One protection operation at a time on the machine: activation and deactivation each hold
// an exclusive lock on one file for the whole machine (whichever folder the program runs
// from) from before they look at the hosts file until "Blocked" is written, so that a
// second operation sees the first one's work.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/lock_file.h"

namespace tsl {

// How long an operation waits for another to finish before it gives up.
inline constexpr std::chrono::milliseconds kOperationLockWait{30000};

class OperationLock {
 public:
  // Waits up to `wait` for the lock on `path` (created when missing) and records this
  // process as its holder. Throws FileError naming the lock and its holder when the wait
  // runs out, and when the file cannot be opened or locked.
  OperationLock(const std::string& path, std::chrono::milliseconds wait);

 private:
  LockFile file_;
};

}  // namespace tsl
