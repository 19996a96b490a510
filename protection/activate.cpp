#include <string>

#include "protection/block_section.h"
#include "protection/hosts_file.h"
#include "protection/operation_scope.h"
#include "protection/protection.h"

namespace tsl {
namespace {

// A hosts file that already holds a block section comes from an activation whose
// "Blocked" = "1" did not stick, or from another activation that ran just before this one;
// its backup, if there is one, is the only copy of the hosts file from before that
// activation and must not be replaced by the extended one.
bool KeepEarlierBackup(const Machine& machine, const std::string& hosts_file,
                       const std::string& backup) {
  return machine.files.FileExists(backup) &&
         machine.files.ReadWholeFile(hosts_file).find(kSectionOpening) != std::string::npos;
}

}  // namespace

void ActivateProtection(const Machine& machine, const std::string& hosts_file,
                        WindowParts& window) {
  const OperationScope operation(machine, hosts_file);
  RequireHostsFile(machine.files, hosts_file);
  const std::string backup = machine.AppFile(kHostsBackupName);
  // The backup is whole and on stable storage before the hosts file is opened for writing;
  // a backup that could not be written whole leaves the earlier one (or none) in its place,
  // never a part that a later deactivation would copy over the hosts file.
  if (!KeepEarlierBackup(machine, hosts_file, backup)) {
    machine.files.CopyFileAtomically(hosts_file, backup);
  }
  const std::string entries =
      BlockEntries(machine.files.ReadWholeFile(machine.AppFile(kBlockListName)));
  machine.files.SetAttributesNormal(hosts_file);
  machine.files.AppendToFile(hosts_file, {kSectionOpening, entries});

  window.SetCommand2Enabled(false);
  RegistrySaveString(machine.registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "1");
  window.SetCaption(Label::Label3, "Protection activated successfuly.");
  machine.name_cache.Flush();
}

}  // namespace tsl
