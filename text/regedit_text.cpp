#include "text/regedit_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tsl {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view TrimLeft(std::string_view s) {
  const size_t start = s.find_first_not_of(kBlanks);
  return start == std::string_view::npos ? std::string_view{} : s.substr(start);
}

std::string_view TrimRight(std::string_view s) {
  const size_t end = s.find_last_not_of(kBlanks);
  return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualFolded(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(x) == FoldCase(y);
         });
}

// True when `key` is `ancestor` itself or lies below it.
bool IsSameOrBelow(std::string_view key, std::string_view ancestor) {
  if (key.size() < ancestor.size() || !EqualFolded(key.substr(0, ancestor.size()), ancestor)) {
    return false;
  }
  return key.size() == ancestor.size() || key[ancestor.size()] == '\\';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A quoted string at the start of `s` with the escapes \\ and \"; `rest` is what follows
// the closing quote.
std::optional<std::string> ParseQuoted(std::string_view s, std::string_view& rest) {
  if (s.empty() || s.front() != '"') return std::nullopt;
  std::string out;
  for (size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      rest = s.substr(i + 1);
      return out;
    }
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) ++i;
    out.push_back(s[i]);
  }
  return std::nullopt;
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// "aa,bb,cc": bytes in two hex digits each; blanks around them are allowed.
std::optional<std::string> ParseHexList(std::string_view list) {
  std::string bytes;
  list = Trim(list);
  if (list.empty()) return bytes;
  while (true) {
    const size_t comma = list.find(',');
    const std::string_view item = Trim(list.substr(0, comma));
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
    if (comma == std::string_view::npos) return bytes;
    list = list.substr(comma + 1);
    if (Trim(list).empty()) return bytes;  // regedit leaves a comma before a line break
  }
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view digits, size_t max_digits) {
  if (digits.empty() || digits.size() > max_digits) return std::nullopt;
  std::uint32_t n = 0;
  for (const char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    n = n * 16 + static_cast<std::uint32_t>(d);
  }
  return n;
}

bool StartsWithFolded(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualFolded(s.substr(0, prefix.size()), prefix);
}

// What a value line's right-hand side says.
struct ValueData {
  bool deleted = false;
  RegistryValue value;
};

std::optional<ValueData> ParseData(std::string_view data) {
  data = Trim(data);
  if (data == "-") return ValueData{true, {}};
  if (!data.empty() && data.front() == '"') {
    std::string_view rest;
    std::optional<std::string> text = ParseQuoted(data, rest);
    if (!text || !Trim(rest).empty()) return std::nullopt;
    text->push_back('\0');
    return ValueData{false, {kRegSz, std::move(*text)}};
  }
  if (StartsWithFolded(data, "dword:")) {
    const std::optional<std::uint32_t> n = ParseHexNumber(data.substr(6), 8);
    if (!n) return std::nullopt;
    std::string bytes(4, '\0');
    for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>((*n >> (8 * i)) & 0xFF);
    return ValueData{false, {kRegDword, std::move(bytes)}};
  }
  if (!StartsWithFolded(data, "hex")) return std::nullopt;
  data.remove_prefix(3);
  std::uint32_t type = kRegBinary;
  if (!data.empty() && data.front() == '(') {
    const size_t close = data.find(')');
    if (close == std::string_view::npos) return std::nullopt;
    const std::optional<std::uint32_t> n = ParseHexNumber(data.substr(1, close - 1), 8);
    if (!n) return std::nullopt;
    type = *n;
    data.remove_prefix(close + 1);
  }
  if (data.empty() || data.front() != ':') return std::nullopt;
  std::optional<std::string> bytes = ParseHexList(data.substr(1));
  if (!bytes) return std::nullopt;
  return ValueData{false, {type, std::move(*bytes)}};
}

// `"name"=data` or `@=data`.
struct ValueLine {
  std::string name;
  std::string_view data;
};

std::optional<ValueLine> ParseValueLine(std::string_view line) {
  line = TrimLeft(line);
  ValueLine parsed;
  std::string_view rest;
  if (!line.empty() && line.front() == '@') {
    rest = line.substr(1);
  } else {
    std::optional<std::string> name = ParseQuoted(line, rest);
    if (!name) return std::nullopt;
    parsed.name = std::move(*name);
  }
  rest = TrimLeft(rest);
  if (rest.empty() || rest.front() != '=') return std::nullopt;
  parsed.data = rest.substr(1);
  return parsed;
}

// `[path]` opens a section; `[-path]` deletes the key and everything below it.
struct SectionHeader {
  bool deletes = false;
  std::string_view path;
};

std::optional<SectionHeader> ParseSectionHeader(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
  std::string_view path = line.substr(1, line.size() - 2);
  const bool deletes = !path.empty() && path.front() == '-';
  if (deletes) path.remove_prefix(1);
  return SectionHeader{deletes, Trim(path)};
}

// One line of the format, with the physical lines a hex list continues over joined.
struct LogicalLine {
  size_t begin = 0;  // first byte in the text
  size_t end = 0;    // one past the last byte before the line break
  size_t next = 0;   // first byte of the next line
  std::string text;  // without line breaks and continuation marks
};

bool IsHexValue(std::string_view line) {
  const std::optional<ValueLine> value = ParseValueLine(line);
  return value && StartsWithFolded(TrimLeft(value->data), "hex");
}

// Lines end at LF, CR LF or CR alone.
size_t AfterLineBreak(std::string_view text, size_t line_break) {
  return text[line_break] == '\r' && line_break + 1 < text.size() && text[line_break + 1] == '\n'
             ? line_break + 2
             : line_break + 1;
}

template <typename Visit>
void ForEachLogicalLine(std::string_view text, Visit visit) {
  size_t pos = 0;
  while (pos < text.size()) {
    LogicalLine line;
    line.begin = pos;
    bool continues_hex = false;
    for (bool first = true;; first = false) {
      const size_t line_break = text.find_first_of("\r\n", pos);
      const bool last_physical = line_break == std::string_view::npos;
      std::string_view piece = text.substr(pos, (last_physical ? text.size() : line_break) - pos);
      line.end = pos + piece.size();
      pos = last_physical ? text.size() : AfterLineBreak(text, line_break);
      if (first) {
        continues_hex = IsHexValue(piece);
      } else {
        piece = TrimLeft(piece);
      }
      const std::string_view trimmed = TrimRight(piece);
      // A file cut off after a continuation mark reads as the list so far, as it will once
      // a write has put a line after it.
      if (continues_hex && !trimmed.empty() && trimmed.back() == '\\') {
        line.text += trimmed.substr(0, trimmed.size() - 1);
        if (last_physical) break;
        continue;
      }
      line.text += piece;
      break;
    }
    line.next = pos;
    visit(line);
  }
}

// Where the value of a key was last set, and where a new value line would go.
struct Placement {
  std::optional<LogicalLine> value_line;
  std::optional<size_t> section_end;  // after the last line of the key's last section
};

Placement Locate(std::string_view text, std::string_view key_path, std::string_view name) {
  Placement placement;
  bool in_key = false;
  ForEachLogicalLine(text, [&](const LogicalLine& line) {
    if (const std::optional<SectionHeader> header = ParseSectionHeader(line.text)) {
      // A deleted key takes its earlier sections with it: the value goes after the deletion.
      if (header->deletes && IsSameOrBelow(key_path, header->path)) placement = Placement{};
      in_key = !header->deletes && EqualFolded(header->path, key_path);
      if (in_key) placement.section_end = line.next;
      return;
    }
    if (!in_key) return;
    if (!Trim(line.text).empty()) placement.section_end = line.next;
    const std::optional<ValueLine> value = ParseValueLine(line.text);
    if (value && EqualFolded(value->name, name)) placement.value_line = line;
  });
  return placement;
}

// The text's own line break, as its first line ends; CR LF for a text of one line.
std::string LineBreakOf(std::string_view text) {
  const size_t line_break = text.find_first_of("\r\n");
  if (line_break == std::string_view::npos) return "\r\n";
  return std::string(text.substr(line_break, AfterLineBreak(text, line_break) - line_break));
}

std::string HexList(std::string_view bytes, const std::string& line_break) {
  constexpr size_t kBytesPerLine = 25;
  std::string out;
  out.reserve(bytes.size() * 3 + bytes.size() / kBytesPerLine * 6);
  char digits[3];
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) {
      out.push_back(',');
      if (i % kBytesPerLine == 0) out += "\\" + line_break + "  ";
    }
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(bytes[i]));
    out += digits;
  }
  return out;
}

std::string FormatValueLine(std::string_view name, const RegistryValue& value,
                            const std::string& line_break) {
  std::string line = name.empty() ? "@" : Quote(name);
  line.push_back('=');
  const std::string_view data = value.data;
  const bool plain_text =
      value.type == kRegSz && !data.empty() && data.back() == '\0' &&
      data.substr(0, data.size() - 1).find_first_of(std::string_view("\0\r\n", 3)) ==
          std::string_view::npos;
  if (plain_text) return line + Quote(data.substr(0, data.size() - 1));
  if (value.type == kRegDword && data.size() == 4) {
    std::uint32_t n = 0;
    for (size_t i = 0; i < 4; ++i)
      n |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(n));
    return line + "dword:" + digits;
  }
  if (value.type == kRegBinary) {
    line += "hex:";
  } else {
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
    line += type;
  }
  return line + HexList(data, line_break);
}

bool EndsWithContinuation(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return !TrimRight(text).empty() && TrimRight(text).back() == '\\';
}

// What ends the text's last line: nothing when it is ended by LF, or by CR in a file of CR
// line ends.
std::string LineEnding(std::string_view text, const std::string& line_break) {
  if (text.empty() || text.back() == '\n') return "";
  // A CR that ends the text ends its line; an LF after it makes the pair one line break,
  // which keeps the line ended and stops a line that follows from merging with the CR.
  if (text.back() == '\r') return line_break == "\r" ? "" : "\n";
  return line_break;
}

bool Representable(std::string_view s, std::string_view forbidden) {
  return s.find_first_of(forbidden) == std::string_view::npos;
}

}  // namespace

bool RegeditText::HasKnownHeader() const {
  const std::string_view first_line =
      TrimRight(std::string_view(text_).substr(0, text_.find_first_of("\r\n")));
  return first_line == kRegedit4Header || first_line == kRegedit5Header;
}

std::optional<RegistryValue> RegeditText::Find(std::string_view key_path,
                                               std::string_view name) const {
  std::optional<RegistryValue> found;
  bool in_key = false;
  ForEachLogicalLine(text_, [&](const LogicalLine& line) {
    if (const std::optional<SectionHeader> header = ParseSectionHeader(line.text)) {
      if (header->deletes && IsSameOrBelow(key_path, header->path)) found.reset();
      in_key = !header->deletes && EqualFolded(header->path, key_path);
      return;
    }
    if (!in_key) return;
    const std::optional<ValueLine> value = ParseValueLine(line.text);
    if (!value || !EqualFolded(value->name, name)) return;
    std::optional<ValueData> data = ParseData(value->data);
    if (!data) return;
    if (data->deleted) {
      found.reset();
    } else {
      found = std::move(data->value);
    }
  });
  return found;
}

bool RegeditText::Set(std::string_view key_path, std::string_view name,
                      const RegistryValue& value) {
  if (key_path.empty() || !Representable(key_path, std::string_view("\0\r\n[]", 5)) ||
      !Representable(name, std::string_view("\0\r\n", 3))) {
    return false;
  }
  const std::string line_break = LineBreakOf(text_);
  const std::string line = FormatValueLine(name, value, line_break);
  const Placement placement = Locate(text_, key_path, name);
  if (placement.value_line) {
    text_.replace(placement.value_line->begin,
                  placement.value_line->end - placement.value_line->begin, line);
    return true;
  }
  if (placement.section_end) {
    const size_t at = *placement.section_end;
    std::string insert = line + line_break;
    // The new line starts a line of its own; after a hex list that the file cut off at a
    // continuation mark, a blank line first ends that list, or it would swallow the new line.
    if (EndsWithContinuation(std::string_view(text_).substr(0, at))) insert.insert(0, line_break);
    insert.insert(0, LineEnding(std::string_view(text_).substr(0, at), line_break));
    text_.insert(at, insert);
    return true;
  }
  if (text_.empty()) {
    text_ = std::string(kRegedit4Header) + line_break;
  } else {
    text_ += LineEnding(text_, line_break);
  }
  text_ += line_break + "[" + std::string(key_path) + "]" + line_break + line + line_break;
  return true;
}

}  // namespace tsl
