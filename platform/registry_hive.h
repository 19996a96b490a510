// The settings store's platform half: where registry values really live.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "text/registry_value.h"

namespace tsl {

// A value that the settings store would not keep. Recording the state is a step like any
// file step: a write that does not stick is a failure, never a silent success.
class SettingsError : public std::runtime_error {
 public:
  // store: the key, or the quoted path of the file; reason: the system's own words.
  SettingsError(std::string_view name, const std::string& store, const std::string& reason)
      : std::runtime_error("Could not record \"" + std::string(name) + "\" in " + store + ": " +
                           reason) {}
};

// Where the values really live: the Win32 registry, or a regedit file on POSIX.
// Reading never fails: a value that cannot be read is absent.
class RegistryHive {
 public:
  virtual ~RegistryHive() = default;
  [[nodiscard]] virtual std::optional<RegistryValue> Read(std::uint32_t root, std::string_view key,
                                                          std::string_view name) const = 0;
  // Why the key's values cannot be read now (a settings file this user may not read), or
  // nothing when they can: a missing key or file is an empty store, not a failure.
  [[nodiscard]] virtual std::optional<std::string> ReadFailure(std::uint32_t /*root*/,
                                                               std::string_view /*key*/) const {
    return std::nullopt;
  }
  // Creates the key (and its parents) when missing, and replaces any earlier value.
  // Throws SettingsError when the store refuses, having changed nothing.
  virtual void Write(std::uint32_t root, std::string_view key, std::string_view name,
                     const RegistryValue& value) = 0;
};

// The machine's own settings store: the registry on Windows; on POSIX the regedit file
// named by TESSALINE_REGISTRY (default /var/lib/tessaline/registry.reg).
std::unique_ptr<RegistryHive> OpenSystemRegistry();

}  // namespace tsl
