// The text of a regedit file, the format regedit exports: the settings store's file on
// POSIX. Its encoding is regedit_encoding.h's business; here it is bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/registry_value.h"

namespace tsl {

// The first line of a file in each of the two versions of the format.
inline constexpr std::string_view kRegedit4Header = "REGEDIT4";
inline constexpr std::string_view kRegedit5Header = "Windows Registry Editor Version 5.00";

// Reads and edits the values of a regedit text. Edits replace or add the one line of the
// value concerned and leave every other byte of the text as it was, comments and lines
// that do not parse included.
class RegeditText {
 public:
  explicit RegeditText(std::string text) : text_(std::move(text)) {}

  // The value as the text leaves it: the last line that sets it wins, a "-" or a deleted
  // key removes it. Key paths ("HKEY_LOCAL_MACHINE\SOFTWARE\...") and value names compare
  // without regard to ASCII case.
  [[nodiscard]] std::optional<RegistryValue> Find(std::string_view key_path,
                                                  std::string_view name) const;

  // Replaces the value's last line, or adds a line to the key's last section, or a new
  // section at the end (after a REGEDIT4 header in an empty text). Lines end as the text's
  // first line does: LF, CR LF or CR. Returns false, changing nothing, for a key path or value name
  // that a REGEDIT4 line cannot hold.
  bool Set(std::string_view key_path, std::string_view name, const RegistryValue& value);

  [[nodiscard]] const std::string& text() const { return text_; }

  // Whether the text starts with the header of a version of the format that this class
  // knows; a text that does not is not written, since its meaning is not known.
  [[nodiscard]] bool HasKnownHeader() const;

 private:
  std::string text_;
};

}  // namespace tsl
