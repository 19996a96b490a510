#include "settings/registry.h"

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

std::string RegistryGetString(const RegistryHive& hive, std::uint32_t root, std::string_view key,
                              std::string_view name, std::string_view default_text) {
  const std::optional<RegistryValue> value = hive.Read(root, key, name);
  if (!value || value->type != kRegSz) return std::string(default_text);
  // A REG_SZ need not end in NUL; one holding several NULs ends at the first.
  return value->data.substr(0, value->data.find('\0'));
}

void RegistrySaveString(RegistryHive& hive, std::uint32_t root, std::string_view key,
                        std::string_view name, std::string_view text) {
  std::string data(text);
  data.push_back('\0');
  hive.Write(root, key, name, RegistryValue{kRegSz, std::move(data)});
}

}  // namespace tsl
