// Turning protection on and off.
#pragma once

#include <string>

#include "protection/file_system.h"
#include "protection/real_file_system.h"
#include "protection/window_parts.h"
#include "settings/registry.h"

namespace tsl {

// What the operations stand on: the file system, the settings store, and AppFolder, the
// folder of the executable that holds the block list and the backup.
struct Machine {
  FileSystem& files;
  RegistryHive& registry;
  std::string app_folder;

  // A file beside the executable.
  [[nodiscard]] std::string AppFile(std::string_view name) const {
    return app_folder + kPathSeparator + std::string(name);
  }
};

// Backs the hosts file up, appends the block section, records "Blocked" = "1" and reports.
// A failing file step throws FileError; the steps before it stay done.
void ActivateProtection(const Machine& machine, const std::string& hosts_file, WindowParts& window);

// Copies the backup back over the hosts file and records "Blocked" = "0"; without a
// backup it only tells the user so.
void DeactivateProtection(const Machine& machine, const std::string& hosts_file,
                          WindowParts& window);

}  // namespace tsl
