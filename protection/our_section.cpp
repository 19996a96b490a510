#include "protection/our_section.h"

#include <algorithm>
#include <array>

#include "protection/hosts_file.h"
#include "text/block_section.h"

namespace tsl {
SectionSource OurSection::Source() const {
  const std::string_view beside = block_list ? std::string_view(*block_list) : std::string_view();
  if (record) return {record->block_list, true, record->opening_ended_a_line, true, beside};
  return {beside, false, guessed_opening_ended_a_line, block_list.has_value()};
}

std::vector<std::string> OurSection::HostsFiles(const FileSystem& files,
                                                const std::string& hosts_file) const {
  std::vector<std::string> paths{hosts_file};
  if (record && record->hosts_file != hosts_file && files.FileExists(record->hosts_file)) {
    paths.push_back(record->hosts_file);
  }
  return paths;
}

OurSection ReadOurSection(const Machine& machine) {
  OurSection ours;
  const std::string record_path = machine.AppFile(kSectionRecordName);
  if (machine.files.FileExists(record_path)) {
    ours.record = ParseSectionRecord(machine.files.ReadOwnFile(record_path));
    // A record is only believed about the places a hosts file may lie.
    const std::array<std::string, 2> candidates = HostsFileCandidates(machine.files);
    if (ours.record && std::find(candidates.begin(), candidates.end(), ours.record->hosts_file) ==
                           candidates.end()) {
      ours.record.reset();
    }
  }
  const std::string block_list = machine.AppFile(kBlockListName);
  if (machine.files.FileExists(block_list)) {
    ours.block_list = machine.files.ReadWholeFile(block_list);
  }
  if (ours.record) {
    // The same list twice says no more than once; lists run to millions of names.
    if (ours.block_list == ours.record->block_list) ours.block_list.reset();
    return ours;
  }
  // A backup that ends in a line break was taken of a hosts file that did; the section's
  // opening line break was then an empty line of its own.
  const std::string backup = machine.AppFile(kHostsBackupName);
  if (machine.files.FileExists(backup)) {
    ours.guessed_opening_ended_a_line = EndsWithoutLineBreak(machine.files.ReadOwnFile(backup));
  }
  return ours;
}

void TakeOurLinesOut(const Machine& machine, const std::string& hosts_file,
                     const OurSection& ours) {
  const WithoutSections without =
      TakeOutOurLines(machine.files.ReadWholeFile(hosts_file), ours.Source());
  if (without.held_a_section) {
    machine.files.SetAttributesNormal(hosts_file);
    machine.files.WriteFileOver(hosts_file, without.text);
  }
}

}  // namespace tsl
