// Paths come from the system in UTF-16 and are used through the ANSI functions. A
// conversion that best-fits a character ("Ω" to "O") or puts "?" in its place names
// another file -- a twin folder someone else may have made -- so only an exact one is used.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tsl {

// `wide` in the process's ANSI code page, or nothing when that code page cannot carry
// every character of it exactly.
std::optional<std::string> ExactAnsi(std::wstring_view wide);

}  // namespace tsl
