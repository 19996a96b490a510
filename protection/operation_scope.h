// What each protection operation holds while it runs.
#pragma once

#include <string>

#include "protection/operation_lock.h"
#include "protection/protection.h"

namespace tsl {

// Takes the machine's operation lock, then removes the temporary copies that a run killed
// earlier left beside the files an operation writes: host.bak, each copy of the backup
// history, host.sec and the hosts file.
class OperationScope {
 public:
  OperationScope(const Machine& machine, const std::string& hosts_file);

 private:
  OperationLock lock_;
};

}  // namespace tsl
