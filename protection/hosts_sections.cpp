#include "protection/hosts_sections.h"

#include <cstring>

#include "protection/block_section.h"

namespace tsl {
namespace {

struct Line {
  std::string_view content;  // without its line break
  size_t break_at;           // where its line break begins (its end when it has none)
  size_t end;                // after its line break
  [[nodiscard]] bool HasBreak() const { return end > break_at; }
};

Line LineAt(std::string_view text, size_t begin) {
  const char* const data = text.data();
  const auto* lf = static_cast<const char*>(std::memchr(data + begin, '\n', text.size() - begin));
  if (lf == nullptr) return {text.substr(begin), text.size(), text.size()};
  size_t break_at = static_cast<size_t>(lf - data);
  const size_t end = break_at + 1;
  if (break_at > begin && text[break_at - 1] == '\r') --break_at;
  return {text.substr(begin, break_at - begin), break_at, end};
}

bool IsEntry(std::string_view content) {
  return content.substr(0, kEntryAddress.size()) == kEntryAddress;
}

// One section, or several that touch: from its opening line break (or its header line)
// to the end of its last line.
struct Run {
  size_t opening;  // where the line break before the first header begins
  size_t header;   // where the first header line begins
  size_t end;      // after the last line that belongs to it
};

// The opening line break goes unless the line before it is not empty and lines follow.
ByteRange RangeOf(const Run& run, std::string_view text) {
  const bool break_is_an_empty_line = run.opening == 0 || text[run.opening - 1] == '\n';
  const bool nothing_follows = run.end == text.size();
  if (break_is_an_empty_line || nothing_follows) return {run.opening, run.end};
  return {run.header, run.end};
}

}  // namespace

std::vector<ByteRange> FindBlockSections(std::string_view hosts) {
  std::vector<Run> runs;
  size_t pos = 0;
  size_t previous_break = 0;  // the file's start counts as a line break
  bool after_break = true;
  while (pos < hosts.size()) {
    const Line line = LineAt(hosts, pos);
    if (!after_break || line.content != kSectionHeader) {
      after_break = line.HasBreak();
      previous_break = line.break_at;
      pos = line.end;
      continue;
    }
    Run run{previous_break, pos, line.end};
    Line last = line;
    pos = line.end;
    while (pos < hosts.size()) {
      const Line next = LineAt(hosts, pos);
      const bool empty = next.content.empty();
      if (!empty && !IsEntry(next.content)) break;
      last = next;
      pos = next.end;
      if (empty) break;  // the line that ends the section
    }
    run.end = last.end;
    if (!runs.empty() && run.opening <= runs.back().end) {
      runs.back().end = run.end;
    } else {
      runs.push_back(run);
    }
    after_break = last.HasBreak();
    previous_break = last.break_at;
  }
  std::vector<ByteRange> ranges;
  ranges.reserve(runs.size());
  for (const Run& run : runs) ranges.push_back(RangeOf(run, hosts));
  return ranges;
}

bool HoldsBlockSection(std::string_view hosts) { return !FindBlockSections(hosts).empty(); }

WithoutSections TakeOutBlockSections(std::string_view hosts) {
  const std::vector<ByteRange> sections = FindBlockSections(hosts);
  WithoutSections result{std::string(), hosts.size()};
  size_t taken = 0;
  for (const ByteRange& range : sections) taken += range.end - range.begin;
  result.text.reserve(hosts.size() - taken);
  size_t kept_from = 0;
  for (const ByteRange& range : sections) {
    result.text.append(hosts.substr(kept_from, range.begin - kept_from));
    if (&range == &sections.front()) result.first_section_at = result.text.size();
    kept_from = range.end;
  }
  result.text.append(hosts.substr(kept_from));
  if (sections.empty()) result.first_section_at = result.text.size();
  return result;
}

}  // namespace tsl
