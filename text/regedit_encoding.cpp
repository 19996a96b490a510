#include "text/regedit_encoding.h"

#include <cstdint>

namespace tsl {
namespace {

constexpr std::string_view kUtf8Bom = "\xef\xbb\xbf";
constexpr std::string_view kUtf16LeBom = "\xff\xfe";

bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, std::uint32_t code) {
  const auto byte = [&out](std::uint32_t b) { out.push_back(static_cast<char>(b)); };
  if (code < 0x80) {
    byte(code);
  } else if (code < 0x800) {
    byte(0xC0 | (code >> 6));
    byte(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    byte(0xE0 | (code >> 12));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  } else {
    byte(0xF0 | (code >> 18));
    byte(0x80 | ((code >> 12) & 0x3F));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  }
}

void AppendUtf16Le(std::string& out, std::uint32_t unit) {
  out.push_back(static_cast<char>(unit & 0xFF));
  out.push_back(static_cast<char>(unit >> 8));
}

// One character of UTF-8 (a lone surrogate allowed) at `pos`, which it moves past it;
// nothing for a byte sequence that is not one.
std::optional<std::uint32_t> NextCodePoint(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  size_t length = 0;
  std::uint32_t code = 0;
  std::uint32_t least = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - pos < length) return std::nullopt;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    code = (code << 6) | (next & 0x3F);
  }
  if (code < least || code > 0x10FFFF) return std::nullopt;
  pos += length;
  return code;
}

}  // namespace

std::optional<DecodedText> DecodeRegeditFile(std::string_view bytes) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    return DecodedText{TextEncoding::kUtf8WithBom, std::string(bytes.substr(kUtf8Bom.size()))};
  }
  if (bytes.substr(0, kUtf16LeBom.size()) != kUtf16LeBom) {
    return DecodedText{TextEncoding::kAnsi, std::string(bytes)};
  }
  bytes.remove_prefix(kUtf16LeBom.size());
  if (bytes.size() % 2 != 0) return std::nullopt;
  DecodedText decoded{TextEncoding::kUtf16LeWithBom, {}};
  decoded.text.reserve(bytes.size() / 2);
  const auto unit_at = [bytes](size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
  };
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const std::uint32_t unit = unit_at(i);
    if (IsHighSurrogate(unit) && i + 2 < bytes.size() && IsLowSurrogate(unit_at(i + 2))) {
      AppendUtf8(decoded.text, 0x10000 + ((unit - 0xD800) << 10) + (unit_at(i + 2) - 0xDC00));
      i += 2;
    } else {
      AppendUtf8(decoded.text, unit);
    }
  }
  return decoded;
}

std::optional<std::string> EncodeRegeditFile(std::string_view text, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kAnsi:
      return std::string(text);
    case TextEncoding::kUtf8WithBom:
      return std::string(kUtf8Bom) + std::string(text);
    case TextEncoding::kUtf16LeWithBom:
      break;
  }
  std::string bytes(kUtf16LeBom);
  bytes.reserve(2 + text.size() * 2);
  for (size_t pos = 0; pos < text.size();) {
    const std::optional<std::uint32_t> code = NextCodePoint(text, pos);
    if (!code) return std::nullopt;
    if (*code < 0x10000) {
      AppendUtf16Le(bytes, *code);
    } else {
      AppendUtf16Le(bytes, 0xD800 + ((*code - 0x10000) >> 10));
      AppendUtf16Le(bytes, 0xDC00 + ((*code - 0x10000) & 0x3FF));
    }
  }
  return bytes;
}

}  // namespace tsl
