// Registry: the settings store. Every piece of persistent state is a text value under one key.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry_hive.h"

namespace tsl {

inline constexpr std::string_view kSettingsKey = "SOFTWARE\\Orrindale\\TSL";
inline constexpr std::string_view kBlockedValue = "Blocked";
inline constexpr std::string_view kServersValue = "Servers";

// The value's text when it is a REG_SZ, cut before its first NUL; otherwise default_text.
std::string RegistryGetString(const RegistryHive& hive, std::uint32_t root, std::string_view key,
                              std::string_view name, std::string_view default_text);

// Stores text as a REG_SZ (with its terminating NUL), creating the key when missing.
// Throws SettingsError when the store refuses.
void RegistrySaveString(RegistryHive& hive, std::uint32_t root, std::string_view key,
                        std::string_view name, std::string_view text);

}  // namespace tsl
