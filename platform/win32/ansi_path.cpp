#include "platform/win32/ansi_path.h"

#include <windows.h>

namespace tsl {

std::optional<std::string> ExactAnsi(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const UINT code_page = GetACP();
  // UTF-8 carries every character; it takes neither flag for best fit nor a default
  // character, and refuses only a lone surrogate.
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* const used_default_out = utf8 ? nullptr : &used_default;
  const int length = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(code_page, flags, wide.data(), length, nullptr, 0, nullptr,
                                         used_default_out);
  if (needed <= 0 || used_default) return std::nullopt;
  std::string ansi(static_cast<size_t>(needed), '\0');
  if (WideCharToMultiByte(code_page, flags, wide.data(), length, ansi.data(), needed, nullptr,
                          used_default_out) != needed ||
      used_default) {
    return std::nullopt;
  }
  return ansi;
}

}  // namespace tsl
