// What an operation knows of the block section Tessaline wrote: its record when there is
// one, and otherwise the block list beside the program as a guess.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protection/protection.h"
#include "text/hosts_sections.h"
#include "text/section_record.h"

namespace tsl {

struct OurSection {
  // The record, when it can be had and names one of the places a hosts file may lie.
  std::optional<SectionRecord> record;
  // The block list beside the program: without a record, the guess at what the section was
  // made from; with one, only when it is another list (none when there is no such file,
  // or it is the record's own).
  std::optional<std::string> block_list;
  // Without a record: whether the opening line break ended the hosts file's last line, as
  // the backup tells.
  bool guessed_opening_ended_a_line = true;

  [[nodiscard]] SectionSource Source() const;
  // The hosts files that may hold the section: the one found at start-up, and the one the
  // section was written into when another candidate has won since.
  [[nodiscard]] std::vector<std::string> HostsFiles(const FileSystem& files,
                                                    const std::string& hosts_file) const;
};

// Reads the record, or the block list and the backup in its stead. Throws FileError.
OurSection ReadOurSection(const Machine& machine);

// Takes Tessaline's lines out of one hosts file, writing it only when it held a section.
void TakeOurLinesOut(const Machine& machine, const std::string& hosts_file, const OurSection& ours);

}  // namespace tsl
