// Registry: the settings store. Every piece of persistent state is a text value under one key.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tsl {

// Root keys are 32-bit key handles, as the registry API defines them.
inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002;
inline constexpr std::string_view kSettingsKey = "SOFTWARE\\Orrindale\\TSL";
inline constexpr std::string_view kBlockedValue = "Blocked";
inline constexpr std::string_view kServersValue = "Servers";

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

// A value that the settings store would not keep. Recording the state is a step like any
// file step: a write that does not stick is a failure, never a silent success.
class SettingsError : public std::runtime_error {
 public:
  // store: the key, or the quoted path of the file; reason: the system's own words.
  SettingsError(std::string_view name, const std::string& store, const std::string& reason)
      : std::runtime_error("Could not record \"" + std::string(name) + "\" in " + store + ": " +
                           reason) {}
};

// "HKEY_LOCAL_MACHINE" and the other root keys' names; nothing for an unknown handle.
std::optional<std::string_view> RootKeyName(std::uint32_t root);

// The root's name, "\" and the key path: "HKEY_LOCAL_MACHINE\SOFTWARE\...".
std::optional<std::string> FullKeyPath(std::uint32_t root, std::string_view key);

// Where the values really live: the Win32 registry, or a regedit file on POSIX.
// Reading never fails: a value that cannot be read is absent.
class RegistryHive {
 public:
  virtual ~RegistryHive() = default;
  [[nodiscard]] virtual std::optional<RegistryValue> Read(std::uint32_t root, std::string_view key,
                                                          std::string_view name) const = 0;
  // Why the store cannot be read now (a settings file this user may not read), or nothing
  // when it can: a missing key or file is an empty store, not a failure.
  [[nodiscard]] virtual std::optional<std::string> ReadFailure() const { return std::nullopt; }
  // Creates the key (and its parents) when missing, and replaces any earlier value.
  // Throws SettingsError when the store refuses, having changed nothing.
  virtual void Write(std::uint32_t root, std::string_view key, std::string_view name,
                     const RegistryValue& value) = 0;
};

// The machine's own settings store: the registry on Windows; on POSIX the regedit file
// named by TESSALINE_REGISTRY (default /var/lib/tessaline/registry.reg).
std::unique_ptr<RegistryHive> OpenSystemRegistry();

// The value's text when it is a REG_SZ, cut before its first NUL; otherwise default_text.
std::string RegistryGetString(const RegistryHive& hive, std::uint32_t root, std::string_view key,
                              std::string_view name, std::string_view default_text);

// Stores text as a REG_SZ (with its terminating NUL), creating the key when missing.
// Throws SettingsError when the store refuses.
void RegistrySaveString(RegistryHive& hive, std::uint32_t root, std::string_view key,
                        std::string_view name, std::string_view text);

}  // namespace tsl
