#include "text/hosts_sections.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <unordered_map>
#include <vector>

#include "text/block_section.h"

namespace tsl {
namespace {

constexpr size_t kNone = std::string_view::npos;
// The addresses another tool may rewrite an entry's to; it then still blocks the name.
constexpr std::string_view kLoopbackAddresses[] = {"127.0.0.1", "0.0.0.0", "::1", "::"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

struct Line {
  size_t begin;
  size_t break_at;  // where its line break begins (its end when it has none)
  size_t end;       // after its line break
  std::string_view content;
  [[nodiscard]] bool Empty() const { return content.empty(); }
};

// The lines of a hosts file, ending at CR LF, LF or CR. The next CR and LF are each looked
// for once and kept until passed, so that a file with one kind of line break is read in one
// pass.
class HostsLines {
 public:
  explicit HostsLines(std::string_view text) : text_(text) {}

  Line At(size_t begin) {
    const size_t cr = Next(begin, '\r', cr_from_, cr_);
    const size_t lf = Next(begin, '\n', lf_from_, lf_);
    const size_t break_at = std::min(cr, lf);
    size_t end = break_at;
    if (break_at < text_.size()) {
      end = break_at + 1;
      if (text_[break_at] == '\r' && end < text_.size() && text_[end] == '\n') ++end;
    }
    return {begin, break_at, end, text_.substr(begin, break_at - begin)};
  }

 private:
  size_t Next(size_t begin, char c, size_t& from, size_t& found) const {
    if (begin < from || begin > found) {
      from = begin;
      const void* hit = std::memchr(text_.data() + begin, c, text_.size() - begin);
      found = hit == nullptr ? text_.size() : static_cast<const char*>(hit) - text_.data();
    }
    return found;
  }

  std::string_view text_;
  size_t cr_from_ = 1;
  size_t cr_ = 0;
  size_t lf_from_ = 1;
  size_t lf_ = 0;
};

// The words of a name or an entry before any "#" comment, joined by one blank: the form in
// which a name is compared, whatever blanks and tabs another tool put around it.
std::string_view NameKey(std::string_view text, std::string& scratch) {
  text = TrimBlanks(text.substr(0, text.find('#')));
  if (std::none_of(text.begin(), text.end(), IsBlank)) return text;
  scratch.clear();
  bool in_blanks = false;
  for (const char c : text) {
    if (IsBlank(c)) {
      in_blanks = true;
      continue;
    }
    if (in_blanks) scratch.push_back(' ');
    in_blanks = false;
    scratch.push_back(c);
  }
  return scratch;
}

struct Entry {
  std::string_view key;
  bool commented_out;
};

// A line that maps a name to a loopback address, commented out or not.
std::optional<Entry> ParseEntry(std::string_view line, std::string& scratch) {
  line = TrimBlanks(line);
  bool commented_out = false;
  while (!line.empty() && line.front() == '#') {
    commented_out = true;
    line = TrimBlanks(line.substr(1));
  }
  const std::string_view address = line.substr(0, std::min(line.find(' '), line.find('\t')));
  if (std::find(std::begin(kLoopbackAddresses), std::end(kLoopbackAddresses), address) ==
      std::end(kLoopbackAddresses)) {
    return std::nullopt;
  }
  return Entry{NameKey(line.substr(address.size()), scratch), commented_out};
}

// The names of a block list, each to be taken once. Sections are mostly in the list's own
// order, so a name is first compared with the list's next one; only at the first line out
// of order are the names left counted.
class ListNames {
 public:
  explicit ListNames(std::string_view block_list) : block_list_(block_list), lines_(block_list) {}

  // Starts again with every name, for another section.
  void Reset() {
    lines_ = BlockListLines(block_list_);
    counted_ = false;
    counts_.clear();
    left_in_counts_ = 0;
    Advance();
  }

  [[nodiscard]] bool Empty() const { return block_list_.empty(); }
  [[nodiscard]] bool Exhausted() const { return counted_ ? left_in_counts_ == 0 : !next_; }

  // Takes one of the names with this key; false when none is left.
  bool Take(std::string_view key) {
    if (!counted_) {
      if (next_ && *next_ == key) {
        Advance();
        return true;
      }
      CountTheRest();
    }
    const auto found = counts_.find(key);
    if (found == counts_.end() || found->second == 0) return false;
    --found->second;
    --left_in_counts_;
    return true;
  }

 private:
  void Advance() {
    const std::optional<std::string_view> line = lines_.Next();
    next_.reset();
    if (line) next_ = Keep(NameKey(*line, scratch_));
  }

  void CountTheRest() {
    counted_ = true;
    while (next_) {
      ++counts_[*next_];
      ++left_in_counts_;
      Advance();
    }
  }

  // A key that is a view of the list itself needs no copy.
  std::string_view Keep(std::string_view key) {
    if (key.data() != scratch_.data() || key.empty()) return key;
    return normalized_.emplace_back(key);
  }

  std::string_view block_list_;
  BlockListLines lines_;
  std::optional<std::string_view> next_;
  bool counted_ = false;
  std::unordered_map<std::string_view, size_t> counts_;
  size_t left_in_counts_ = 0;
  std::string scratch_;
  std::deque<std::string> normalized_;
};

// Byte ranges to take out, in order; a range that touches or overlaps the last one joins it.
class Ranges {
 public:
  void Add(size_t begin, size_t end) {
    if (begin >= end) return;
    if (!ranges_.empty() && begin <= ranges_.back().second) {
      ranges_.back().second = std::max(ranges_.back().second, end);
    } else {
      ranges_.emplace_back(begin, end);
    }
  }
  [[nodiscard]] bool Covers(size_t begin, size_t end) const {
    return std::any_of(ranges_.begin(), ranges_.end(), [&](const auto& range) {
      return range.first <= begin && end <= range.second;
    });
  }
  // Inserts [begin, end) where it belongs (it lies before or between the ranges so far).
  void Insert(size_t begin, size_t end) {
    Ranges merged;
    bool placed = false;
    for (const auto& range : ranges_) {
      if (!placed && begin <= range.first) {
        merged.Add(begin, end);
        placed = true;
      }
      merged.Add(range.first, range.second);
    }
    if (!placed) merged.Add(begin, end);
    ranges_ = std::move(merged.ranges_);
  }
  // Where `at` lands once the ranges are taken out.
  [[nodiscard]] size_t Map(size_t at) const {
    size_t taken = 0;
    for (const auto& range : ranges_) {
      if (range.first >= at) break;
      taken += std::min(at, range.second) - range.first;
    }
    return at - taken;
  }
  [[nodiscard]] std::string TakeOut(std::string_view text) const {
    size_t taken = 0;
    for (const auto& range : ranges_) taken += range.second - range.first;
    std::string kept;
    kept.reserve(text.size() - taken);
    size_t from = 0;
    for (const auto& range : ranges_) {
      kept.append(text.substr(from, range.first - from));
      from = range.second;
    }
    kept.append(text.substr(from));
    return kept;
  }

 private:
  std::vector<std::pair<size_t, size_t>> ranges_;
};

// An opening line break that ended someone's line: it goes only if nothing follows.
struct EndingBreak {
  size_t break_at;
  size_t header;
};

}  // namespace

bool EndsWithoutLineBreak(std::string_view text) {
  return !text.empty() && text.back() != '\n' && text.back() != '\r';
}

bool IsSectionHeader(std::string_view line) {
  size_t at = 0;
  for (const char wanted : kSectionHeader) {
    if (wanted == ' ') continue;
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at == line.size() || line[at] != wanted) return false;
    ++at;
  }
  while (at < line.size() && IsBlank(line[at])) ++at;
  return at == line.size();
}

WithoutSections TakeOutOurLines(std::string_view hosts, const SectionSource& source) {
  WithoutSections result;
  HostsLines lines(hosts);
  ListNames names(source.block_list);
  ListNames other_names(source.other_block_list);
  Ranges taken;
  std::vector<EndingBreak> ending_breaks;
  std::string scratch;
  size_t first_header = kNone;
  std::optional<Line> previous;
  size_t pos = 0;
  while (pos < hosts.size()) {
    const Line header = lines.At(pos);
    if (!IsSectionHeader(header.content)) {
      previous = header;
      pos = header.end;
      continue;
    }
    const bool first = first_header == kNone;
    if (first) first_header = header.begin;
    result.held_a_section = true;

    // The opening line break.
    if (!previous) {
      if (first) result.opening_stayed = true;  // the header is the file's first line
    } else if (previous->Empty()) {
      taken.Add(previous->begin, previous->end);
    } else if (!taken.Covers(previous->begin, previous->end)) {
      if (!first || source.opening_ended_a_line) {
        ending_breaks.push_back({previous->break_at, header.begin});
        if (first) result.opening_ended_a_line = true;
      } else {
        result.opening_stayed = true;  // someone wrote a line where the empty line was
      }
    }
    taken.Add(header.begin, header.end);

    // The lines below it that are ours, up to the next header.
    names.Reset();
    other_names.Reset();
    bool in_run = !source.exact;
    bool in_force = names.Empty() && source.list_known;
    size_t after_ours = header.end;
    previous = header;
    pos = header.end;
    while (pos < hosts.size() && (in_run || !names.Exhausted() || !other_names.Exhausted())) {
      const Line line = lines.At(pos);
      if (IsSectionHeader(line.content)) break;
      const std::optional<Entry> entry = ParseEntry(line.content, scratch);
      in_run = in_run && entry;
      if (entry && (names.Take(entry->key) || other_names.Take(entry->key) || in_run)) {
        taken.Add(line.begin, line.end);
        after_ours = line.end;
        in_force = in_force || !entry->commented_out;
      }
      previous = line;
      pos = line.end;
    }
    // The empty line that ends the section.
    if (after_ours < hosts.size()) {
      const Line closing = lines.At(after_ours);
      if (closing.Empty()) {
        taken.Add(closing.begin, closing.end);
        if (closing.end > pos) {
          previous = closing;
          pos = closing.end;
        }
      }
    }
    result.in_force = result.in_force || in_force;
  }

  for (const EndingBreak& ending : ending_breaks) {
    if (!taken.Covers(ending.header, hosts.size())) {
      if (ending.header == first_header) result.opening_stayed = true;
      continue;
    }
    taken.Insert(ending.break_at, ending.header);
  }
  result.text = taken.TakeOut(hosts);
  result.first_section_at = first_header == kNone ? result.text.size() : taken.Map(first_header);
  return result;
}

}  // namespace tsl
