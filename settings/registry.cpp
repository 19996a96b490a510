#include "settings/registry.h"

#include <string>

namespace tsl {

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
