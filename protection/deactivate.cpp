#include <optional>
#include <string>
#include <utility>

#include "protection/block_section.h"
#include "protection/hosts_file.h"
#include "protection/hosts_sections.h"
#include "protection/operation_scope.h"
#include "protection/protection.h"

namespace tsl {
namespace {

// What the hosts file becomes: the backup when the hosts file is the backup, or the backup
// followed by block sections; otherwise the hosts file without its block sections; nothing
// when it holds none, for then there is nothing of Tessaline's in it to take back.
std::optional<std::string> RestoredHostsFile(const std::string& hosts, std::string backup) {
  const std::string_view all(hosts);
  if (all.substr(0, backup.size()) == backup &&
      TakeOutBlockSections(all.substr(backup.size())).text.empty()) {
    return backup;
  }
  WithoutSections without = TakeOutBlockSections(hosts);
  if (without.text.size() == hosts.size()) return std::nullopt;
  return std::move(without.text);
}

}  // namespace

void DeactivateProtection(const Machine& machine, const std::string& hosts_file,
                          WindowParts& window) {
  const std::string backup = machine.AppFile(kHostsBackupName);
  {
    const OperationScope operation(machine, hosts_file);
    if (machine.files.FileExists(backup)) {
      RequireHostsFile(machine.files, hosts_file);
      const std::optional<std::string> restored = RestoredHostsFile(
          machine.files.ReadWholeFile(hosts_file), machine.files.ReadOwnFile(backup));
      if (restored) {
        machine.files.SetAttributesNormal(hosts_file);
        machine.files.WriteFileOver(hosts_file, *restored);
      }

      RegistrySaveString(machine.registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "0");
      window.SetCommand2Enabled(true);
      window.SetCaption(Label::Label3,
                        "Protection turned-off successfuly. Your machine is now vulnerable to "
                        "email bugs.");
      machine.name_cache.Flush();
      return;
    }
  }
  // The message waits for the user, so the lock is let go first.
  window.ShowInformation(
      "An error occured while trying to restore your settings. Back-up file not found or is "
      "corrupted.");
}

}  // namespace tsl
