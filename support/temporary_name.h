// How a temporary copy is named: the name of the file it will replace, ".tsl-" and six
// letters or digits, in the same folder. A copy that a killed run left behind is told
// apart from every other file of the folder by that name, and the next run removes it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tsl {

inline constexpr std::string_view kTemporaryMark = ".tsl-";
inline constexpr std::size_t kTemporarySuffixLength = 6;

// The temporary name's first part, to which the six characters are added.
inline std::string TemporaryStem(std::string_view path) {
  return std::string(path) + std::string(kTemporaryMark);
}

// Whether `entry` (a bare name in a folder) is a temporary copy of the file `name`.
inline bool IsTemporaryCopyOf(std::string_view entry, std::string_view name) {
  if (entry.size() != name.size() + kTemporaryMark.size() + kTemporarySuffixLength ||
      entry.substr(0, name.size()) != name ||
      entry.substr(name.size(), kTemporaryMark.size()) != kTemporaryMark) {
    return false;
  }
  for (const char c : entry.substr(name.size() + kTemporaryMark.size())) {
    const bool alphanumeric =
        (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alphanumeric) return false;
  }
  return true;
}

}  // namespace tsl
