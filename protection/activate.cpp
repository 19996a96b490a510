#include <string>

#include "protection/backup_history.h"
#include "protection/hosts_file.h"
#include "protection/operation_scope.h"
#include "protection/our_section.h"
#include "protection/protection.h"
#include "protection/protection_state.h"
#include "protection/window_texts.h"
#include "text/block_section.h"
#include "text/hosts_sections.h"

namespace tsl {
namespace {

// The hosts file with one block section made from the block list: in the place of the
// first section it held, or at its end when it held none.
std::string WithBlockSection(const WithoutSections& hosts, std::string_view block_list) {
  // Where the line break before the old header stayed, it is the new header's too.
  const std::string_view opening =
      hosts.opening_stayed ? kSectionOpening.substr(2) : kSectionOpening;
  std::string extended;
  extended.reserve(hosts.text.size() + opening.size() + BlockEntriesSize(block_list));
  extended.append(hosts.text, 0, hosts.first_section_at);
  extended.append(opening);
  AppendBlockEntries(block_list, extended);
  extended.append(hosts.text, hosts.first_section_at);
  return extended;
}

// Writes the record: its head, then the block lists the section may be made from.
void WriteRecord(const Machine& machine, const std::string& hosts_file, bool opening_ended_a_line,
                 std::string_view earlier_list, std::string_view block_list) {
  std::string text = SectionRecordHead(hosts_file, opening_ended_a_line);
  text.append(earlier_list);
  if (EndsWithoutLineBreak(earlier_list)) text.append("\r\n");
  text.append(block_list);
  machine.files.WriteCopyOf(machine.AppFile(kBlockListName), text,
                            machine.AppFile(kSectionRecordName));
}

// Records the section about to be written, before the hosts file gets it. While a section
// made from another list may still be there, the record holds both lists, so that a run
// killed in between leaves no line of either unaccounted for; the record is then written
// again with the new list alone. Returns whether that is still to do.
bool RecordSection(const Machine& machine, const std::string& hosts_file, OurSection& ours,
                   bool opening_ended_a_line, std::string_view block_list, bool list_is_recorded) {
  const bool same_list = list_is_recorded || (ours.record && ours.record->block_list == block_list);
  const bool same = same_list && ours.record->hosts_file == hosts_file &&
                    ours.record->opening_ended_a_line == opening_ended_a_line;
  const bool both_lists = ours.record && !same_list;
  if (!same) {
    WriteRecord(machine, hosts_file, opening_ended_a_line,
                both_lists ? std::string_view(ours.record->block_list) : std::string_view(),
                block_list);
  }
  ours.record.reset();  // no longer needed: its memory goes before the hosts file is made
  return both_lists;
}

// The backup holds nothing of Tessaline's, whole and on stable storage before the hosts file
// is written; the one it replaces goes to the history. It is the hosts file from before the
// section; where a section is there already, the backup taken then stays, only without
// anything of ours that an earlier version let into it.
void BackUp(const Machine& machine, const std::string& hosts_file, const WithoutSections& hosts,
            const OurSection& ours) {
  const std::string backup = machine.AppFile(kHostsBackupName);
  std::string clean = hosts.text;
  if (hosts.held_a_section && machine.files.FileExists(backup)) {
    clean = TakeOutOurLines(machine.files.ReadOwnFile(backup), ours.Source()).text;
  }
  if (KeepBackupBeforeReplacing(machine, clean)) {
    machine.files.WriteCopyOf(hosts_file, clean, backup);
  }
}

// Activation's steps, for an operation that holds the lock.
void ActivateHoldingTheLock(const Machine& machine, const std::string& hosts_file,
                            WindowParts& window) {
  RequireHostsFile(machine.files, hosts_file);
  OurSection ours = ReadOurSection(machine);
  // There is only ever one section: one left in the hosts file that another candidate has
  // replaced since comes out of it.
  for (const std::string& other : ours.HostsFiles(machine.files, hosts_file)) {
    if (other != hosts_file) TakeOurLinesOut(machine, other, ours);
  }
  // Read again under the lock: another activation may have run since start-up.
  const std::string before = machine.files.ReadWholeFile(hosts_file);
  const WithoutSections without = TakeOutOurLines(before, ours.Source());
  BackUp(machine, hosts_file, without, ours);
  // The block list as read before anything was written (the record's own, when it is the
  // same list); a missing one fails here.
  const std::string list_path = machine.AppFile(kBlockListName);
  const bool list_is_recorded =
      !ours.block_list && ours.record && machine.files.FileExists(list_path);
  const std::string block_list = ours.block_list    ? std::move(*ours.block_list)
                                 : list_is_recorded ? std::move(ours.record->block_list)
                                                    : machine.files.ReadWholeFile(list_path);
  const bool opening_ended_a_line =
      without.held_a_section ? without.opening_ended_a_line : EndsWithoutLineBreak(without.text);
  // A section that was there without a record is known only by the guess; a record written
  // before it is replaced would make that guess exact, so it waits until the hosts file has
  // the new section.
  const bool record_to_finish = without.held_a_section && !ours.record
                                    ? true
                                    : RecordSection(machine, hosts_file, ours, opening_ended_a_line,
                                                    block_list, list_is_recorded);
  const std::string extended = WithBlockSection(without, block_list);
  if (extended != before) {
    machine.files.SetAttributesNormal(hosts_file);
    machine.files.WriteFileOver(hosts_file, extended);
  }
  if (record_to_finish) WriteRecord(machine, hosts_file, opening_ended_a_line, {}, block_list);

  window.SetCommand2Enabled(false);
  if (RegistryGetString(machine.registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "") !=
      "1") {
    RegistrySaveString(machine.registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "1");
  }
  window.SetCaption(Label::Label3, std::string(kActivated));
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
  // Looked at under the lock: a deactivation that ran meanwhile is not undone. Entries of
  // ours that block while "Blocked" was lost are protection that is on all the same.
  const ProtectionState state = CurrentProtectionState(machine, hosts_file);
  if (state != ProtectionState::kOn && state != ProtectionState::kUnrecorded) return false;
  ActivateHoldingTheLock(machine, hosts_file, window);
  return true;
}

}  // namespace tsl
