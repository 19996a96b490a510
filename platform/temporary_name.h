// How a temporary copy is named: in the same folder as the file it will replace, that file's
// name, ".tsl-" and sixteen random letters or digits, a name no person would choose. (No
// leading dot: Wine, and so the Windows build's tests, would make such a copy hidden.)
// A copy that a killed run left behind is told apart from every other file of the folder by
// that name (and, where the platform can tell, by its owner and rights), and the next run
// removes it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/system_random.h"

namespace tsl {

inline constexpr std::string_view kTemporaryMark = ".tsl-";
inline constexpr std::size_t kTemporarySuffixLength = 16;

// The temporary name's first part, the folder included, to which the random characters are
// added.
inline std::string TemporaryStem(std::string_view path) {
  return std::string(path) + std::string(kTemporaryMark);
}

// A new temporary name for a copy of `path`: sixteen letters and digits from the system's
// random source, so that no one can foresee the name or be expected to choose it for a file
// of their own. False when the system gives no random bytes.
inline bool RandomTemporaryName(std::string_view path, std::string& name) {
  constexpr std::string_view kCharacters =
      "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  unsigned char bytes[kTemporarySuffixLength];
  if (!SystemRandom(bytes, sizeof bytes)) return false;
  name = TemporaryStem(path);
  for (const unsigned char byte : bytes) name.push_back(kCharacters[byte % kCharacters.size()]);
  return true;
}

// The name of the file that `entry` (a bare name in a folder) is named as a temporary copy
// of: what comes before ".tsl-" and sixteen letters or digits. Empty when it is not so named.
inline std::string_view TemporaryCopyOriginal(std::string_view entry) {
  if (entry.size() < kTemporaryMark.size() + kTemporarySuffixLength) return {};
  const std::size_t stem = entry.size() - kTemporarySuffixLength;
  if (entry.substr(stem - kTemporaryMark.size(), kTemporaryMark.size()) != kTemporaryMark) {
    return {};
  }
  for (const char c : entry.substr(stem)) {
    const bool alphanumeric =
        (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alphanumeric) return {};
  }
  return entry.substr(0, stem - kTemporaryMark.size());
}

// Whether `entry` is named as a temporary copy of the file `name`.
inline bool IsTemporaryCopyOf(std::string_view entry, std::string_view name) {
  return !name.empty() && TemporaryCopyOriginal(entry) == name;
}

}  // namespace tsl
