#include "text/block_section.h"

namespace tsl {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

}  // namespace

size_t CountBlockListLines(std::string_view block_list) {
  size_t count = 0;
  ForEachBlockListLine(block_list, [&count](std::string_view) { ++count; });
  return count;
}

size_t BlockEntriesSize(std::string_view block_list) {
  size_t lines = 0;
  size_t name_bytes = 0;
  ForEachBlockListLine(block_list, [&](std::string_view line) {
    ++lines;
    name_bytes += line.size();
  });
  return name_bytes + lines * (kEntryAddress.size() + kLineBreak.size()) + kLineBreak.size();
}

// Sized exactly first, then filled in place: block lists run to millions of lines.
void AppendBlockEntries(std::string_view block_list, std::string& out) {
  size_t at = out.size();
  out.resize(at + BlockEntriesSize(block_list));
  char* const begin = out.data();
  const auto put = [&](std::string_view bytes) {
    std::memcpy(begin + at, bytes.data(), bytes.size());
    at += bytes.size();
  };
  ForEachBlockListLine(block_list, [&](std::string_view line) {
    put(kEntryAddress);
    put(line);
    put(kLineBreak);
  });
  put(kLineBreak);
}

std::string BlockEntries(std::string_view block_list) {
  std::string entries;
  AppendBlockEntries(block_list, entries);
  return entries;
}

}  // namespace tsl
