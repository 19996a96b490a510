#include "protection/block_section.h"

namespace tsl {

size_t CountBlockListLines(std::string_view block_list) {
  size_t count = 0;
  ForEachBlockListLine(block_list, [&count](std::string_view) { ++count; });
  return count;
}

std::string BlockEntries(std::string_view block_list) {
  constexpr std::string_view kLineBreak = "\r\n";
  size_t lines = 0;
  size_t name_bytes = 0;
  ForEachBlockListLine(block_list, [&](std::string_view line) {
    ++lines;
    name_bytes += line.size();
  });
  // Sized exactly first, then filled in place: block lists run to millions of lines.
  std::string entries(
      name_bytes + lines * (kEntryAddress.size() + kLineBreak.size()) + kLineBreak.size(), '\0');
  char* out = entries.data();
  const auto put = [&out](std::string_view bytes) {
    std::memcpy(out, bytes.data(), bytes.size());
    out += bytes.size();
  };
  ForEachBlockListLine(block_list, [&](std::string_view line) {
    put(kEntryAddress);
    put(line);
    put(kLineBreak);
  });
  put(kLineBreak);
  return entries;
}

}  // namespace tsl
