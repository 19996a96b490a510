// The places the POSIX program keeps its files at can each be moved with an environment
// variable (TESSALINE_WINDIR, TESSALINE_LOCK, TESSALINE_REGISTRY), as tests and packagers do.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>

namespace tsl {

// The variable's value, or `fallback` when it is unset or empty.
inline std::string EnvironmentOr(const char* name, std::string fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : std::move(fallback);
}

}  // namespace tsl
