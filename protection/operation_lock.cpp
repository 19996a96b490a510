#include "protection/operation_lock.h"

#include <thread>

#include "platform/file_system.h"

namespace tsl {
namespace {

constexpr std::chrono::milliseconds kRetryPause{20};

// Names no holder it cannot be sure of: the lock may be held by a process that is not
// Tessaline's at all.
std::string TimeoutReason(const std::string& holder, std::chrono::milliseconds wait) {
  const std::string who =
      holder.empty() ? "a process the system does not name" : "process " + holder;
  return who + " still held it after " + std::to_string(wait.count()) + " ms";
}

}  // namespace

OperationLock::OperationLock(const std::string& path, std::chrono::milliseconds wait)
    : file_(path) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (!file_.TryLock()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      throw FileError("lock", path, TimeoutReason(file_.Holder(), wait));
    }
    std::this_thread::sleep_for(kRetryPause);
  }
  // Who holds the lock, for the report of an operation that waits in vain.
  file_.RecordHolder();
}

}  // namespace tsl
