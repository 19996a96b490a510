// A registry value and key path as text: what the settings store holds, whatever holds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tsl {

// Root keys are 32-bit key handles, as the registry API defines them.
inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002;

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// A value as the registry holds it: its type and its raw bytes (a REG_SZ counts its NUL).
struct RegistryValue {
  std::uint32_t type = kRegSz;
  std::string data;

  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// "HKEY_LOCAL_MACHINE" and the other root keys' names; nothing for an unknown handle.
std::optional<std::string_view> RootKeyName(std::uint32_t root);

// The root's name, "\" and the key path: "HKEY_LOCAL_MACHINE\SOFTWARE\...".
std::optional<std::string> FullKeyPath(std::uint32_t root, std::string_view key);

}  // namespace tsl
