#include "protection/block_section.h"

namespace tsl {

size_t CountBlockListLines(std::string_view block_list) {
  size_t count = 0;
  ForEachBlockListLine(block_list, [&count](std::string_view) { ++count; });
  return count;
}

std::string BlockEntries(std::string_view block_list) {
  constexpr std::string_view kLineBreak = "\r\n";
  // Every line gains the address and keeps at most its own break's two bytes, so one
  // allocation holds the whole section.
  const size_t lines = CountBlockListLines(block_list);
  std::string entries;
  entries.reserve(block_list.size() + lines * (kEntryAddress.size() + kLineBreak.size()) +
                  kLineBreak.size());
  ForEachBlockListLine(block_list, [&entries, kLineBreak](std::string_view line) {
    entries.append(kEntryAddress).append(line).append(kLineBreak);
  });
  entries.append(kLineBreak);
  return entries;
}

}  // namespace tsl
