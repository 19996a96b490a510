#include "fuzz/properties.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <filesystem>
#include <set>

#include "fuzz/memory_machine.h"
#include "protection/hosts_file.h"
#include "protection/protection.h"
#include "protection/protection_state.h"
#include "protection/window_state.h"
#include "testsupport/test_machine.h"
#include "text/block_section.h"
#include "text/hosts_sections.h"
#include "text/regedit_text.h"

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

// The fuzzer's bytes, one at a time; zeros once they run out.
class Bytes {
 public:
  explicit Bytes(std::string_view bytes) : bytes_(bytes) {}
  [[nodiscard]] bool More() const { return at_ < bytes_.size(); }
  unsigned Next() { return More() ? static_cast<unsigned char>(bytes_[at_++]) : 0U; }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

// Block lists of a few letters, with the blanks, tabs, comments and line breaks of any
// shape a list may take.
std::string RandomBlockList(Bytes& in) {
  constexpr std::string_view kAlphabet = "abcxyz.. \t#\r\n\r\n\n\r";
  std::string list;
  for (unsigned length = in.Next() % 48; length > 0; --length) {
    list.push_back(kAlphabet[in.Next() % kAlphabet.size()]);
  }
  return list;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t begin = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\r' && text[at] != '\n') continue;
    lines.push_back(text.substr(begin, at - begin));
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    begin = at + 1;
  }
  if (begin < text.size()) lines.push_back(text.substr(begin));
  return lines;
}

// The words of a line before any comment, written plainly, apart from the code under test.
std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : line.substr(0, line.find('#'))) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::string Joined(const std::vector<std::string>& words, size_t from) {
  std::string joined;
  for (size_t i = from; i < words.size(); ++i) joined += (i > from ? " " : "") + words[i];
  return joined;
}

// A line of the hosts file that blocks one of the names: not commented out, a loopback
// address, then the name.
bool BlocksAny(std::string_view hosts, const std::set<std::string>& names) {
  for (std::string_view line : SplitLines(hosts)) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    const std::vector<std::string> words = Words(line);
    if (words.size() < 2 || (words[0] != "127.0.0.1" && words[0] != "0.0.0.0")) continue;
    if (names.count(Joined(words, 1)) != 0) return true;
  }
  return false;
}

// The operation lock lies in a folder of the fuzzer's own, which the lock insists on.
std::string FuzzLockPath() {
  namespace fs = std::filesystem;
  static const fs::path folder = [] {
    fs::path made = fs::temp_directory_path() / "tessaline-fuzz-lock";
    fs::create_directories(made);
    fs::permissions(made, fs::perms::owner_all);
    return made;
  }();
  return (folder / "tessaline.lock").string();
}

bool HoldsAHeader(std::string_view text) {
  for (const std::string_view line : SplitLines(text)) {
    if (IsSectionHeader(line)) return true;
  }
  return false;
}

// What another program or a user may do to the hosts file: add a line, take one out
// or comment one out (never a header: a changed one makes the lines below the user's), give an
// entry another address, rewrite separators or line ends, strip empty lines, trim blanks.
std::string Edited(const std::string& hosts, Bytes& in, int& user_lines) {
  std::vector<std::string> lines;
  for (const std::string_view line : SplitLines(hosts)) lines.emplace_back(line);
  const size_t at = lines.empty() ? 0 : in.Next() % lines.size();
  std::string line_break = "\r\n";
  switch (in.Next() % 9) {
    case 0:
      lines.insert(lines.begin() + static_cast<long>(at),
                   "10.9.9.9 user" + std::to_string(user_lines++));
      break;
    case 1:
      if (!lines.empty() && !IsSectionHeader(lines[at]))
        lines.erase(lines.begin() + static_cast<long>(at));
      break;
    case 2:
      if (!lines.empty() && !IsSectionHeader(lines[at])) lines[at].insert(0, "#");
      break;
    case 3:
      if (!lines.empty() && lines[at].rfind("127.0.0.1", 0) == 0)
        lines[at].replace(0, 9, "0.0.0.0");
      break;
    case 4:
      for (std::string& line : lines) {
        if (line.rfind("127.0.0.1     ", 0) == 0) line.replace(9, 5, in.Next() % 2 ? "\t" : " ");
      }
      break;
    case 5:
      line_break = "\n";
      break;
    case 6:
      line_break = "\r";
      break;
    case 7:
      lines.erase(std::remove(lines.begin(), lines.end(), ""), lines.end());
      break;
    default:
      for (std::string& line : lines) {
        if (IsSectionHeader(line)) line = "#email snoop protection";
      }
  }
  std::string edited;
  for (const std::string& line : lines) edited += line + line_break;
  return edited;
}

constexpr std::string_view kKeys[] = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL",
                                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Other"};
constexpr std::string_view kNames[] = {kBlockedValue, kServersValue, "", "x"};

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
  if (!file.Set(kKeys[0], kBlockedValue, written)) return false;

  const RegeditText reread(file.text());
  if (reread.Find(kKeys[0], kBlockedValue) != written) return false;
  for (int k = 0; k < 2; ++k) {
    for (int n = (k == 0 ? 1 : 0); n < 4; ++n) {
      if (reread.Find(kKeys[k], kNames[n]) != before[k][n]) return false;
    }
  }
  return true;
}

bool OperationsKeepTheHostsFileTrue(std::string_view input) {
  Bytes in(input);
  MemoryFileSystem files;
  testing::MemoryRegistry registry;
  testing::UnusedNameCache cache;
  const std::string lock = FuzzLockPath();
  const Machine installs[2] = {{files, registry, "A", kOperationLockWait, cache, lock},
                               {files, registry, "B", kOperationLockWait, cache, lock}};
  const std::string hosts = HostsFileCandidates(files)[0];
  std::string original;
  for (unsigned line = in.Next() % 4; line > 0; --line) {
    original += "10.8.8.8 orig" + std::to_string(line) + (in.Next() % 2 ? "\r\n" : "\n");
  }
  if (in.Next() % 2 != 0) original += "10.8.8.8 last";
  files.files[hosts] = original;
  std::string list = RandomBlockList(in);
  for (const Machine& install : installs) files.files[install.AppFile(kBlockListName)] = list;

  // Every name each install wrote a section from, as a hosts line names it.
  std::set<std::string> ours[2];
  std::optional<std::string> clean = original;  // what deactivation must give back
  // Two installs may each take the line break before the section for their own; only when
  // one alone activated is the file given back byte for byte.
  std::set<const Machine*> activators;
  // An install knows the lists it wrote sections from, not another install's.
  const Machine* last_activator = nullptr;
  bool knows_the_section = true;
  std::optional<std::string> activated;  // the bytes of the last activation, while unedited
  int user_lines = 0;
  while (in.More()) {
    const unsigned op = in.Next();
    const unsigned who = (op >> 4) % 2;
    const Machine& install = installs[who];
    WindowState window;
    // An install knows the lists it wrote sections from, not another install's: once it
    // works on a section the other one wrote last, entries of a list it never had may stay
    // behind out of any section, where no deactivation looks; from then on only what holds
    // whatever the installs knew is checked.
    const auto take_over = [&] {
      if (last_activator == nullptr || last_activator == &install) return;
      knows_the_section = false;
      ours[1 - who].clear();
      activated.reset();
    };
    if (op % 8 == 5) {
      files.fail_at = files.steps + static_cast<long>(in.Next() % 16);
    }
    try {
      switch (op % 8) {
        case 0:
        case 5: {
          activators.insert(&install);
          take_over();
          last_activator = &install;
          ActivateProtection(install, hosts, window);
          ForEachBlockListLine(list, [&](std::string_view name) {
            const std::string key = Joined(Words(name), 0);
            if (!key.empty()) ours[who].insert(key);
          });
          if (CurrentProtectionState(install, hosts) != ProtectionState::kOn) return false;
          if (activated && files.files[hosts] != *activated) return false;
          activated = files.files[hosts];
          break;
        }
        case 1:
          DeactivateProtection(install, hosts, window);
          if (!window.information_shown.empty()) break;
          take_over();
          if (knows_the_section && BlocksAny(files.files[hosts], ours[who])) return false;
          if (knows_the_section && CurrentProtectionState(install, hosts) != ProtectionState::kOff)
            return false;
          if (knows_the_section && clean && activators.size() <= 1 && files.files[hosts] != *clean)
            return false;
          clean = knows_the_section ? std::optional<std::string>(files.files[hosts]) : std::nullopt;
          activators.clear();
          activated.reset();
          break;
        case 2:
          if (RefreshProtection(install, hosts, window)) {
            activators.insert(&install);
            take_over();
            last_activator = &install;
          }
          break;
        case 3:
          RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "");
          break;
        case 4:
          list = RandomBlockList(in);
          for (const Machine& each : installs) files.files[each.AppFile(kBlockListName)] = list;
          activated.reset();
          break;
        default: {
          const bool holds_ours = HoldsAHeader(files.files[hosts]);
          files.files[hosts] = Edited(files.files[hosts], in, user_lines);
          clean = holds_ours ? std::nullopt : std::optional<std::string>(files.files[hosts]);
          activated.reset();
        }
      }
    } catch (const FileError&) {
      if (files.fail_at < 0) return false;  // only a killed run may stop
      activated.reset();
    }
    files.fail_at = -1;
    for (const Machine& each : installs) {
      const auto backup = files.files.find(each.AppFile(kHostsBackupName));
      if (backup != files.files.end() && HoldsAHeader(backup->second)) return false;
    }
  }
  return true;
}

}  // namespace tsl
