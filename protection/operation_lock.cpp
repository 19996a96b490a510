#include "protection/operation_lock.h"

namespace tsl {

std::string LockTimeoutReason(std::string_view holder, std::chrono::milliseconds wait) {
  std::string reason = "another Tessaline operation";
  if (!holder.empty()) reason += " (process " + std::string(holder) + ")";
  return reason + " still held it after " + std::to_string(wait.count()) + " ms";
}

}  // namespace tsl
