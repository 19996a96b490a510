// A Machine for tests: its operation lock lies in the test's own folder and its name cache
// is the test's own, so that no test waits on this machine's lock or flushes its cache.
#pragma once

#include <string>

#include "platform/lock_file.h"
#include "platform/path.h"
#include "protection/operation_lock.h"
#include "protection/protection.h"
#include "platform/real_file_system.h"

namespace tsl::testing {

// A name cache with nothing in it to flush.
class UnusedNameCache final : public NameCache {
 public:
  void Flush() override {}
};

// The operation lock `tessaline.lock` in `folder`.
inline std::string LockIn(const std::string& folder) {
  return folder + kPathSeparator + std::string(kOperationLockName);
}

// The folder of the machine's own operation lock.
inline std::string SystemLockFolder() { return ParentFolder(SystemLockPath()); }

// The lock lies in the AppFolder, as it did before there was one for the machine.
inline Machine TestMachine(FileSystem& files, RegistryHive& registry, const std::string& app_folder,
                           NameCache& name_cache) {
  return Machine{files, registry, app_folder, kOperationLockWait, name_cache, LockIn(app_folder)};
}

inline Machine TestMachine(FileSystem& files, RegistryHive& registry,
                           const std::string& app_folder) {
  static UnusedNameCache unused;
  return TestMachine(files, registry, app_folder, unused);
}

}  // namespace tsl::testing
