// The settings store on POSIX: a REGEDIT4 file that an administrator can read and edit.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

#include "settings/regedit_file.h"
#include "settings/registry.h"
#include "settings/registry_file.h"
#include "support/posix_io.h"

namespace tsl {
namespace {

constexpr std::array<std::pair<std::uint32_t, std::string_view>, 5> kRootNames = {{
    {0x80000000, "HKEY_CLASSES_ROOT"},
    {0x80000001, "HKEY_CURRENT_USER"},
    {0x80000002, "HKEY_LOCAL_MACHINE"},
    {0x80000003, "HKEY_USERS"},
    {0x80000005, "HKEY_CURRENT_CONFIG"},
}};

std::optional<std::string> FullKeyPath(std::uint32_t root, std::string_view key) {
  for (const auto& [handle, name] : kRootNames) {
    if (handle == root) return std::string(name) + "\\" + std::string(key);
  }
  return std::nullopt;
}

bool MakeDirectories(const std::string& directory) {
  if (directory == "/" || directory == ".") return true;
  struct stat info {};
  if (::stat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  if (!MakeDirectories(ParentDirectory(directory))) return false;
  return ::mkdir(directory.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

std::optional<std::string> RegistryFile::Load() const {
  const UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  std::string text;
  if (!fd.valid()) {
    if (errno == ENOENT) return text;  // a missing file is an empty registry
    return std::nullopt;
  }
  if (!ReadAll(fd.get(), text)) return std::nullopt;
  return text;
}

std::optional<RegistryValue> RegistryFile::Read(std::uint32_t root, std::string_view key,
                                                std::string_view name) const {
  const std::optional<std::string> key_path = FullKeyPath(root, key);
  std::optional<std::string> text = Load();
  if (!key_path || !text) return std::nullopt;
  return RegeditText(std::move(*text)).Find(*key_path, name);
}

void RegistryFile::Write(std::uint32_t root, std::string_view key, std::string_view name,
                         const RegistryValue& value) {
  const std::optional<std::string> key_path = FullKeyPath(root, key);
  std::optional<std::string> text = Load();
  if (!key_path || !text) return;
  RegeditText edited(std::move(*text));
  if (edited.Set(*key_path, name, value) && MakeDirectories(ParentDirectory(path_))) {
    ReplaceAtomically(path_, edited.text());
  }
}

std::unique_ptr<RegistryHive> OpenSystemRegistry() {
  const char* path = std::getenv("TESSALINE_REGISTRY");
  return std::make_unique<RegistryFile>(
      path != nullptr && *path != '\0' ? path : "/var/lib/tessaline/registry.reg");
}

}  // namespace tsl
