// Real files in temporary folders and a settings store of the test's own, on both platforms.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "settings/registry.h"

namespace tsl::testing {

// A fresh folder, removed with everything in it when the test ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }
  // A path inside the folder, joined with the platform's separator.
  [[nodiscard]] std::string Join(const std::string& relative) const;

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);

// Read-only as the platform knows it: the attribute on Windows, no write bits on POSIX.
void MakeReadOnly(const std::string& path);
bool IsReadOnly(const std::string& path);

// A file as a killed replacement leaves its temporary copy: mode 0600 on POSIX.
void WriteLeftover(const std::string& path, const std::string& bytes);

// The block section that activation gives a hosts file for these names, spelled out.
std::string SectionOf(std::initializer_list<std::string_view> names);

// The bytes of `text` in UTF-16LE after its byte order mark, as regedit writes a file.
std::string Utf16Le(std::u16string_view text);

// The real settings store of the platform, kept apart from the machine's own settings:
// a temporary REGEDIT4 file on POSIX, a key of the test's own (removed afterwards) below
// which every key is placed on Windows.
class ScratchRegistry final : public RegistryHive {
 public:
  ScratchRegistry();
  ~ScratchRegistry() override;
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;

  [[nodiscard]] std::optional<RegistryValue> Read(std::uint32_t root, std::string_view key,
                                                  std::string_view name) const override;
  void Write(std::uint32_t root, std::string_view key, std::string_view name,
             const RegistryValue& value) override;

 private:
  struct Place;
  std::unique_ptr<Place> place_;
  std::unique_ptr<RegistryHive> hive_;
  [[nodiscard]] std::string Redirect(std::string_view key) const;
};

}  // namespace tsl::testing
