#include "protection/operation_scope.h"

#include "protection/backup_history.h"
#include "protection/block_section.h"

namespace tsl {

OperationScope::OperationScope(const Machine& machine, const std::string& hosts_file)
    : lock_(machine.lock_path, machine.lock_wait) {
  machine.files.RemoveTemporaryCopiesIn(machine.app_folder, [](std::string_view name) {
    return name == kHostsBackupName || name == kSectionRecordName || IsBackupHistoryName(name);
  });
  if (!hosts_file.empty()) machine.files.RemoveTemporaryCopies(hosts_file);
}

}  // namespace tsl
