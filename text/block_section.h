// The block list and the section of the hosts file that it becomes.
#pragma once

#include <cstring>
#include <optional>
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

// The lines of a block list, one at a time. A line ends at CR LF, CR or LF, which is not part
// of it (a list saved by any editor gives one entry per name); the end of the text after a
// final break starts no further line, and a last line without a break still counts.
class BlockListLines {
 public:
  explicit BlockListLines(std::string_view text)
      : pos_(text.data()), end_(pos_ + text.size()), cr_(Find(pos_, '\r')), lf_(Find(pos_, '\n')) {}

  // The next line, or nothing after the last one.
  std::optional<std::string_view> Next() {
    if (pos_ == end_) return std::nullopt;
    // The next CR and LF are each looked for once and kept until passed, so that a list
    // with only one kind of line break is still read in one pass.
    if (cr_ < pos_) cr_ = Find(pos_, '\r');
    if (lf_ < pos_) lf_ = Find(pos_, '\n');
    const char* const line_end = cr_ < lf_ ? cr_ : lf_;
    const std::string_view line(pos_, static_cast<size_t>(line_end - pos_));
    pos_ = line_end;
    if (pos_ != end_) {
      ++pos_;
      if (*line_end == '\r' && pos_ != end_ && *pos_ == '\n') ++pos_;
    }
    return line;
  }

 private:
  [[nodiscard]] const char* Find(const char* from, char c) const {
    if (from == end_) return end_;
    const void* found = std::memchr(from, c, static_cast<size_t>(end_ - from));
    return found == nullptr ? end_ : static_cast<const char*>(found);
  }

  const char* pos_;
  const char* end_;
  const char* cr_;
  const char* lf_;
};

// Calls visit(line) for each line of a block list.
template <typename Visit>
void ForEachBlockListLine(std::string_view text, Visit&& visit) {
  BlockListLines lines(text);
  while (const std::optional<std::string_view> line = lines.Next()) visit(*line);
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
