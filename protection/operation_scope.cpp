#include "protection/operation_scope.h"

#include "protection/backup_history.h"
#include "protection/hosts_file.h"
#include "text/block_section.h"

namespace tsl {

OperationScope::OperationScope(const Machine& machine, const std::string& hosts_file)
    : lock_(machine.lock_path, machine.lock_wait) {
  machine.files.RemoveTemporaryCopiesIn(machine.app_folder, [](std::string_view name) {
    return name == kHostsBackupName || name == kSectionRecordName || IsBackupHistoryName(name);
  });
  // Both places a hosts file may lie: a section may have been written into the other one.
  for (const std::string& candidate : HostsFileCandidates(machine.files)) {
    if (candidate == hosts_file || machine.files.FileExists(candidate)) {
      machine.files.RemoveTemporaryCopies(candidate);
    }
  }
}

}  // namespace tsl
