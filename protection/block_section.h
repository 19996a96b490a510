// The block list and the section of the hosts file that it becomes.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

namespace tsl {

inline constexpr std::string_view kBlockListName = "data.dat";
inline constexpr std::string_view kHostsBackupName = "host.bak";
// Tessaline's record of the section it wrote, beside host.bak.
inline constexpr std::string_view kSectionRecordName = "host.sec";

// Starts a fresh line even when the hosts file lacks a final line break.
inline constexpr std::string_view kSectionOpening = "\r\n#email snoop protection \r\n";
// The header line itself, between the opening line break and its own.
inline constexpr std::string_view kSectionHeader =
    kSectionOpening.substr(2, kSectionOpening.size() - 4);
inline constexpr std::string_view kEntryAddress = "127.0.0.1     ";  // five blanks follow

// Calls visit(line) for each line of a block list. A line ends at CR or CR LF, which is not
// part of it; a lone LF stays inside its line; the end of the text after a final break
// starts no further line, and a last line without a break still counts.
template <typename Visit>
void ForEachBlockListLine(std::string_view text, Visit&& visit) {
  const char* pos = text.data();
  const char* const end = pos + text.size();
  while (pos < end) {
    const auto* cr =
        static_cast<const char*>(std::memchr(pos, '\r', static_cast<size_t>(end - pos)));
    if (cr == nullptr) {
      visit(std::string_view(pos, static_cast<size_t>(end - pos)));
      return;
    }
    visit(std::string_view(pos, static_cast<size_t>(cr - pos)));
    pos = cr + 1;
    if (pos < end && *pos == '\n') ++pos;
  }
}

// One "127.0.0.1" entry per block-list line, then the empty line that ends the section.
std::string BlockEntries(std::string_view block_list);

// How many bytes BlockEntries makes of the block list.
size_t BlockEntriesSize(std::string_view block_list);

// Adds BlockEntries(block_list) to the end of `out` without a copy of them in between.
void AppendBlockEntries(std::string_view block_list, std::string& out);

// How many entries the block list makes.
size_t CountBlockListLines(std::string_view block_list);

}  // namespace tsl
