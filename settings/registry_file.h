// The POSIX settings store: one REGEDIT4 file standing in for the registry.
#pragma once

#include <string>

#include "settings/registry.h"

namespace tsl {

class RegistryFile final : public RegistryHive {
 public:
  explicit RegistryFile(std::string path) : path_(std::move(path)) {}

  [[nodiscard]] std::optional<RegistryValue> Read(std::uint32_t root, std::string_view key,
                                                  std::string_view name) const override;
  // Keeps every other key and value; replaces the file atomically.
  void Write(std::uint32_t root, std::string_view key, std::string_view name,
             const RegistryValue& value) override;

 private:
  // The file's text; empty when it does not exist, nothing when it cannot be read.
  [[nodiscard]] std::optional<std::string> Load() const;

  std::string path_;
};

}  // namespace tsl
