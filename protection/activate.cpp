#include <string>

#include "protection/backup_history.h"
#include "protection/block_section.h"
#include "protection/hosts_file.h"
#include "protection/hosts_sections.h"
#include "protection/operation_scope.h"
#include "protection/protection.h"
#include "protection/protection_state.h"

namespace tsl {
namespace {

// The hosts file with one block section made from the block list: in the place of the
// first section it held (the others taken out), or at its end when it held none.
std::string WithBlockSection(const WithoutSections& hosts, std::string_view block_list) {
  std::string extended;
  extended.reserve(hosts.text.size() + kSectionOpening.size() + BlockEntriesSize(block_list));
  extended.append(hosts.text, 0, hosts.first_section_at);
  extended.append(kSectionOpening);
  AppendBlockEntries(block_list, extended);
  extended.append(hosts.text, hosts.first_section_at);
  return extended;
}

// Activation's steps, for an operation that holds the lock.
void ActivateHoldingTheLock(const Machine& machine, const std::string& hosts_file,
                            WindowParts& window) {
  RequireHostsFile(machine.files, hosts_file);
  // Read again under the lock: another activation may have run since start-up.
  const std::string before = machine.files.ReadWholeFile(hosts_file);
  const WithoutSections without = TakeOutBlockSections(before);
  const bool held_a_section = without.text.size() != before.size();
  const std::string backup = machine.AppFile(kHostsBackupName);
  // A hosts file that already holds a block section comes from an activation whose
  // "Blocked" = "1" did not stick, or from another activation that ran just before this
  // one; its backup, if there is one, is the only copy of the hosts file from before that
  // activation and is kept. Otherwise the backup is whole and on stable storage before the
  // hosts file is written, and the one it replaces goes to the history.
  if (!held_a_section || !machine.files.FileExists(backup)) {
    KeepBackupBeforeReplacing(machine, before);
    machine.files.WriteCopyOf(hosts_file, before, backup);
  }
  const std::string extended =
      WithBlockSection(without, machine.files.ReadWholeFile(machine.AppFile(kBlockListName)));
  machine.files.SetAttributesNormal(hosts_file);
  machine.files.WriteFileOver(hosts_file, extended);

  window.SetCommand2Enabled(false);
  RegistrySaveString(machine.registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "1");
  window.SetCaption(Label::Label3, "Protection activated successfuly.");
  machine.name_cache.Flush();
}

}  // namespace

void ActivateProtection(const Machine& machine, const std::string& hosts_file,
                        WindowParts& window) {
  const OperationScope operation(machine, hosts_file);
  ActivateHoldingTheLock(machine, hosts_file, window);
}

bool RefreshProtection(const Machine& machine, const std::string& hosts_file, WindowParts& window) {
  const OperationScope operation(machine, hosts_file);
  // Looked at under the lock: a deactivation that ran meanwhile is not undone.
  if (CurrentProtectionState(machine, hosts_file) != ProtectionState::kOn) return false;
  ActivateHoldingTheLock(machine, hosts_file, window);
  return true;
}

}  // namespace tsl
