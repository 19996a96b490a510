#include <string>

#include "protection/hosts_file.h"
#include "protection/operation_scope.h"
#include "protection/our_section.h"
#include "protection/protection.h"
#include "protection/window_texts.h"
#include "text/block_section.h"

namespace tsl {

void DeactivateProtection(const Machine& machine, const std::string& hosts_file,
                          WindowParts& window) {
  const std::string backup = machine.AppFile(kHostsBackupName);
  {
    const OperationScope operation(machine, hosts_file);
    if (machine.files.FileExists(backup)) {
      RequireHostsFile(machine.files, hosts_file);
      // Tessaline's lines come out of the hosts file itself, so that every line others wrote
      // since stays; the section also comes out of the file it was written into when another
      // candidate has won since.
      const OurSection ours = ReadOurSection(machine);
      for (const std::string& path : ours.HostsFiles(machine.files, hosts_file)) {
        TakeOurLinesOut(machine, path, ours);
      }

      RegistrySaveString(machine.registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "0");
      window.SetCommand2Enabled(true);
      window.SetCaption(Label::Label3, std::string(kDeactivated));
      machine.name_cache.Flush();
      return;
    }
  }
  // The message waits for the user, so the lock is let go first.
  window.ShowInformation(std::string(kNoBackup));
}

}  // namespace tsl
