// Tessaline's record of the block section it wrote, kept beside the backup: which hosts
// file the section went into, whether its opening line break ended that file's last line,
// and the block list it was made from. With it, the lines that are Tessaline's are known
// whatever data.dat holds by the time they are taken back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tsl {

struct SectionRecord {
  std::string hosts_file;
  bool opening_ended_a_line = false;
  std::string block_list;
};

// The record's first lines, before the block list's bytes.
std::string SectionRecordHead(std::string_view hosts_file, bool opening_ended_a_line);

// Nothing for a text that is not a record. Takes the text, whose bytes become the list's,
// so that a record as large as its block list is never held twice.
std::optional<SectionRecord> ParseSectionRecord(std::string text);

}  // namespace tsl
