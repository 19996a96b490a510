#include "text/section_record.h"

namespace tsl {
namespace {

constexpr std::string_view kFirstLine = "Tessaline block section record\r\n";
constexpr std::string_view kLineBreak = "\r\n";

// The line at the start of `text`, taken off it; nothing when no CR LF ends it.
std::optional<std::string_view> TakeLine(std::string_view& text) {
  const size_t end = text.find(kLineBreak);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view line = text.substr(0, end);
  text.remove_prefix(end + kLineBreak.size());
  return line;
}

}  // namespace

std::string SectionRecordHead(std::string_view hosts_file, bool opening_ended_a_line) {
  std::string head(kFirstLine);
  head.append(hosts_file).append(kLineBreak);
  head.append(opening_ended_a_line ? "1" : "0").append(kLineBreak);
  return head;
}

std::optional<SectionRecord> ParseSectionRecord(std::string text) {
  std::string_view rest(text);
  if (rest.substr(0, kFirstLine.size()) != kFirstLine) return std::nullopt;
  rest.remove_prefix(kFirstLine.size());
  const std::optional<std::string_view> hosts_file = TakeLine(rest);
  const std::optional<std::string_view> ended = TakeLine(rest);
  if (!hosts_file || !ended || (*ended != "0" && *ended != "1")) return std::nullopt;
  SectionRecord record{std::string(*hosts_file), *ended == "1", {}};
  text.erase(0, text.size() - rest.size());
  record.block_list = std::move(text);
  return record;
}

}  // namespace tsl
