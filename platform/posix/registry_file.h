// The POSIX settings store: one regedit file standing in for the registry, REGEDIT4 in
// ANSI or version 5.00 in UTF-16LE or UTF-8, each written back in its own encoding.
#pragma once

#include <string>

#include "platform/registry_hive.h"

namespace tsl {

class RegistryFile final : public RegistryHive {
 public:
  explicit RegistryFile(std::string path) : path_(std::move(path)) {}

  [[nodiscard]] std::optional<RegistryValue> Read(std::uint32_t root, std::string_view key,
                                                  std::string_view name) const override;
  [[nodiscard]] std::optional<std::string> ReadFailure(std::uint32_t root,
                                                       std::string_view key) const override;
  // Keeps every other key and value; replaces the file atomically (a symbolic link's
  // target, which the link keeps pointing at). A file that cannot be understood well
  // enough to write safely is left byte for byte as it was, and SettingsError says why.
  void Write(std::uint32_t root, std::string_view key, std::string_view name,
             const RegistryValue& value) override;

 private:
  // The file's bytes, none when it does not exist; false with errno set when it cannot be
  // read (a folder, a FIFO or a device included).
  bool Load(std::string& bytes) const;

  std::string path_;
};

}  // namespace tsl
