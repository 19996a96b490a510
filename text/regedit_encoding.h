// The encodings regedit writes its files in: REGEDIT4 in the ANSI code page, and version
// 5.00 in UTF-16LE with a byte-order mark (or UTF-8, with or without one).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tsl {

enum class TextEncoding {
  kAnsi,  // the bytes as they are; also UTF-8 without a byte-order mark
  kUtf8WithBom,
  kUtf16LeWithBom,
};

struct DecodedText {
  TextEncoding encoding = TextEncoding::kAnsi;
  // ASCII keeps its bytes; UTF-16 becomes UTF-8, an unpaired surrogate in the generalised
  // three-byte form, so that encoding it again gives back the very same bytes.
  std::string text;
};

// Nothing when the bytes cannot be the encoding their byte-order mark names (UTF-16 of an
// odd number of bytes).
std::optional<DecodedText> DecodeRegeditFile(std::string_view bytes);

// The file's bytes for `text`, with the encoding's byte-order mark; nothing when the text
// holds bytes the encoding cannot carry (a UTF-16 file and a byte that is not UTF-8).
std::optional<std::string> EncodeRegeditFile(std::string_view text, TextEncoding encoding);

}  // namespace tsl
