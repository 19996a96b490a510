#include "fuzz/properties.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "protection/block_section.h"
#include "protection/hosts_sections.h"
#include "settings/regedit_file.h"

namespace tsl {
namespace {

std::string WithoutCarriageReturnsBeforeLineFeeds(std::string text) {
  std::string lf;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') lf.push_back(text[i]);
  }
  return lf;
}

std::vector<std::string> ReferenceLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line.push_back(text[i]);
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

constexpr std::string_view kKeys[] = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL",
                                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Other"};
constexpr std::string_view kNames[] = {"Blocked", "Servers", "", "x"};

}  // namespace

bool BlockSectionFollowsTheLineRule(std::string_view block_list) {
  const std::vector<std::string> lines = ReferenceLines(block_list);
  std::string expected;
  for (const std::string& line : lines) expected += "127.0.0.1     " + line + "\r\n";
  expected += "\r\n";
  return BlockEntries(block_list) == expected && CountBlockListLines(block_list) == lines.size();
}

bool BlockSectionsComeOutWhole(std::string_view input) {
  if (input.empty()) return true;
  const std::string_view rest = input.substr(1);
  const size_t split = std::min<size_t>(static_cast<unsigned char>(input[0]), rest.size());
  const std::string hosts(rest.substr(0, split));
  const std::string block_list(rest.substr(split));
  const std::string section = std::string(kSectionOpening) + BlockEntries(block_list);
  const SectionSource source{block_list, true, EndsWithoutLineBreak(hosts)};

  const WithoutSections alone = TakeOutOurLines(hosts, source);
  if (TakeOutOurLines(hosts + section, source).text != alone.text) return false;
  if (!alone.held_a_section && alone.text != hosts) return false;
  // A lone CR at the end would join the LF that follows it into one line break.
  if (!hosts.empty() && hosts.back() == '\r') return true;
  return TakeOutOurLines(hosts + WithoutCarriageReturnsBeforeLineFeeds(section), source).text ==
         alone.text;
}

bool RegeditWriteKeepsEveryOtherValue(std::string_view input) {
  if (input.size() < 2) return true;
  const std::string text(input.substr(2));
  const RegistryValue written{static_cast<unsigned char>(input[0]) % 12U,
                              text.substr(0, static_cast<unsigned char>(input[1]) % 8U)};
  RegeditText file(text);
  std::optional<RegistryValue> before[2][4];
  for (int k = 0; k < 2; ++k) {
    for (int n = 0; n < 4; ++n) before[k][n] = file.Find(kKeys[k], kNames[n]);
  }
  if (!file.Set(kKeys[0], "Blocked", written)) return false;

  const RegeditText reread(file.text());
  if (reread.Find(kKeys[0], "Blocked") != written) return false;
  for (int k = 0; k < 2; ++k) {
    for (int n = (k == 0 ? 1 : 0); n < 4; ++n) {
      if (reread.Find(kKeys[k], kNames[n]) != before[k][n]) return false;
    }
  }
  return true;
}

}  // namespace tsl
