// The settings store on Windows: the registry itself, through the ANSI Reg* functions.
#include <windows.h>

#include <string>

#include "platform/registry_hive.h"
#include "platform/win32/error.h"
#include "platform/win32/handle.h"

namespace tsl {
namespace {

// Predefined root handles are 32-bit values sign-extended to the pointer's width.
HKEY RootHandle(std::uint32_t root) {
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root)));
}

class Win32Registry final : public RegistryHive {
 public:
  std::optional<RegistryValue> Read(std::uint32_t root, std::string_view key,
                                    std::string_view name) const override {
    HKEY opened = nullptr;
    if (RegOpenKeyA(RootHandle(root), std::string(key).c_str(), &opened) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    const UniqueHkey handle(opened);
    const std::string value_name(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(handle.get(), value_name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::string data(size, ' ');
    if (RegQueryValueExA(handle.get(), value_name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    data.resize(size);
    return RegistryValue{type, std::move(data)};
  }

  std::optional<std::string> ReadFailure(std::uint32_t root, std::string_view key) const override {
    HKEY opened = nullptr;
    const LONG status =
        RegOpenKeyExA(RootHandle(root), std::string(key).c_str(), 0, KEY_QUERY_VALUE, &opened);
    if (status == ERROR_SUCCESS) {
      const UniqueHkey handle(opened);
      return std::nullopt;
    }
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    return "Could not read the settings in " + FullKeyPath(root, key).value_or(std::string(key)) +
           ": " + SystemMessage(static_cast<DWORD>(status));
  }

  void Write(std::uint32_t root, std::string_view key, std::string_view name,
             const RegistryValue& value) override {
    const auto fail = [&](LONG status) {
      throw SettingsError(name, FullKeyPath(root, key).value_or(std::string(key)),
                          SystemMessage(static_cast<DWORD>(status)));
    };
    HKEY created = nullptr;
    const LONG opened = RegCreateKeyA(RootHandle(root), std::string(key).c_str(), &created);
    if (opened != ERROR_SUCCESS) fail(opened);
    const UniqueHkey handle(created);
    const LONG stored = RegSetValueExA(handle.get(), std::string(name).c_str(), 0, value.type,
                                       reinterpret_cast<const BYTE*>(value.data.data()),
                                       static_cast<DWORD>(value.data.size()));
    if (stored != ERROR_SUCCESS) fail(stored);
  }
};

}  // namespace

std::unique_ptr<RegistryHive> OpenSystemRegistry() { return std::make_unique<Win32Registry>(); }

}  // namespace tsl
