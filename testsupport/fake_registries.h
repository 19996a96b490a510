// Settings stores that are not the platform's: one in memory, one that refuses.
#pragma once

#include <map>
#include <string>

#include "settings/registry.h"

namespace tsl::testing {

// Values in a map, by name: for a fuzzer's millions of operations, and for a child process
// that is killed and so must leave nothing to clean up.
class MemoryRegistry final : public RegistryHive {
 public:
  [[nodiscard]] std::optional<RegistryValue> Read(std::uint32_t, std::string_view,
                                                  std::string_view name) const override {
    const auto found = values_.find(std::string(name));
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }
  void Write(std::uint32_t, std::string_view, std::string_view name,
             const RegistryValue& value) override {
    values_[std::string(name)] = value;
  }

 private:
  std::map<std::string, RegistryValue> values_;
};

// A store that reads as another does and refuses every write, as a registry key the user
// may not write does; or every read too.
class RefusingRegistry final : public RegistryHive {
 public:
  explicit RefusingRegistry(const RegistryHive& readable, bool unreadable = false)
      : readable_(readable), unreadable_(unreadable) {}
  [[nodiscard]] std::optional<std::string> ReadFailure(std::uint32_t /*root*/,
                                                       std::string_view /*key*/) const override {
    if (!unreadable_) return std::nullopt;
    return "Could not read the settings in the store: refused";
  }
  [[nodiscard]] std::optional<RegistryValue> Read(std::uint32_t root, std::string_view key,
                                                  std::string_view name) const override {
    return readable_.Read(root, key, name);
  }
  void Write(std::uint32_t, std::string_view, std::string_view name,
             const RegistryValue&) override {
    throw SettingsError(name, "the store", "refused");
  }

 private:
  const RegistryHive& readable_;
  bool unreadable_;
};

}  // namespace tsl::testing
