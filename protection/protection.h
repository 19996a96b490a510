// Turning protection on and off.
#pragma once

#include <chrono>
#include <string>

#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/name_cache.h"
#include "platform/real_file_system.h"
#include "protection/operation_lock.h"
#include "protection/window_parts.h"
#include "settings/registry.h"

namespace tsl {

// What the operations stand on: the file system, the settings store, and AppFolder, the
// folder of the executable that holds the block list and the backup.
struct Machine {
  FileSystem& files;
  RegistryHive& registry;
  std::string app_folder;
  // How long an operation waits for another one to finish.
  std::chrono::milliseconds lock_wait = kOperationLockWait;
  // Flushed once an operation has changed the hosts file and recorded the state: the
  // program passes SystemNameCache(), a test a cache of its own.
  NameCache& name_cache;
  // The operation lock: one for the machine's hosts file, whichever folder the program
  // runs from.
  std::string lock_path = SystemLockPath();

  // A file beside the executable.
  [[nodiscard]] std::string AppFile(std::string_view name) const {
    return app_folder + kPathSeparator + std::string(name);
  }
};

// Backs the hosts file up (keeping the backup it replaces in the history), gives the hosts
// file one block section made from the block list (in the place of a section it already
// holds, or at its end), records "Blocked" = "1" and reports. A failing step throws
// FileError, or SettingsError for "Blocked"; the steps before it stay done. Holds the
// machine's operation lock throughout; on success flushes the name cache.
void ActivateProtection(const Machine& machine, const std::string& hosts_file, WindowParts& window);

// While protection is on (recorded, and a block section in the hosts file), activates again,
// so that the section is made anew from the current block list; otherwise changes nothing.
// Looks under the lock and returns whether it activated.
bool RefreshProtection(const Machine& machine, const std::string& hosts_file, WindowParts& window);

// Takes the block sections back out of the hosts file (the backup's bytes when the hosts
// file is the backup followed by sections; nothing when it holds none) and records
// "Blocked" = "0"; without a backup it only tells the user so. Fails and locks as
// activation does.
void DeactivateProtection(const Machine& machine, const std::string& hosts_file,
                          WindowParts& window);

}  // namespace tsl
