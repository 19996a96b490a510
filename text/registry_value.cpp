#include "text/registry_value.h"

#include <array>
#include <utility>

namespace tsl {

std::optional<std::string_view> RootKeyName(std::uint32_t root) {
  constexpr std::array<std::pair<std::uint32_t, std::string_view>, 5> kRootNames = {{
      {0x80000000, "HKEY_CLASSES_ROOT"},
      {0x80000001, "HKEY_CURRENT_USER"},
      {0x80000002, "HKEY_LOCAL_MACHINE"},
      {0x80000003, "HKEY_USERS"},
      {0x80000005, "HKEY_CURRENT_CONFIG"},
  }};
  for (const auto& [handle, name] : kRootNames) {
    if (handle == root) return name;
  }
  return std::nullopt;
}

std::optional<std::string> FullKeyPath(std::uint32_t root, std::string_view key) {
  const std::optional<std::string_view> root_name = RootKeyName(root);
  if (!root_name) return std::nullopt;
  return std::string(*root_name) + "\\" + std::string(key);
}

}  // namespace tsl
