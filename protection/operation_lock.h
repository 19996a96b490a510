// One protection operation at a time on the machine: activation and deactivation each hold
// an exclusive lock on one file beside the backup from before they look at the hosts file
// until "Blocked" is written, so that a second operation sees the first one's work.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace tsl {

inline constexpr std::string_view kOperationLockName = "tessaline.lock";

// How long an operation waits for another to finish before it gives up.
inline constexpr std::chrono::milliseconds kOperationLockWait{30000};

class OperationLock {
 public:
  // Waits up to `wait` for the lock on `path` (created when missing) and records this
  // process as its holder. Throws FileError naming the lock and its holder when the wait
  // runs out, and when the file cannot be opened or locked.
  OperationLock(const std::string& path, std::chrono::milliseconds wait);
  ~OperationLock();
  OperationLock(const OperationLock&) = delete;
  OperationLock& operator=(const OperationLock&) = delete;

 private:
  struct Held;
  std::unique_ptr<Held> held_;
};

// The wait that ran out, in the words of a failure report.
std::string LockTimeoutReason(std::string_view holder, std::chrono::milliseconds wait);

}  // namespace tsl
