// The settings store on POSIX: a regedit file that an administrator can read and edit.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/posix/environment.h"
#include "platform/posix/posix_io.h"
#include "platform/posix/registry_file.h"
#include "platform/posix/replacement_steps.h"
#include "platform/registry_hive.h"
#include "text/regedit_encoding.h"
#include "text/regedit_text.h"

namespace tsl {
namespace {

bool MakeDirectories(const std::string& directory) {
  if (directory == "/" || directory == ".") return true;
  struct stat info {};
  if (::stat(directory.c_str(), &info) == 0) {
    errno = ENOTDIR;
    return S_ISDIR(info.st_mode);
  }
  if (!MakeDirectories(ParentFolder(directory))) return false;
  return ::mkdir(directory.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

bool RegistryFile::Load(std::string& bytes) const {
  bytes.clear();
  const UniqueFd fd = OpenRegularFile(path_, O_RDONLY);
  if (!fd.valid()) return errno == ENOENT;  // a missing file is an empty registry
  return ReadAll(fd.get(), bytes);
}

std::optional<std::string> RegistryFile::ReadFailure(std::uint32_t /*root*/,
                                                     std::string_view /*key*/) const {
  std::string bytes;
  if (Load(bytes)) return std::nullopt;
  return "Could not read the settings in \"" + path_ + "\": " + ErrorText(errno);
}

std::optional<RegistryValue> RegistryFile::Read(std::uint32_t root, std::string_view key,
                                                std::string_view name) const {
  const std::optional<std::string> key_path = FullKeyPath(root, key);
  std::string bytes;
  if (!key_path || !Load(bytes)) return std::nullopt;
  std::optional<DecodedText> decoded = DecodeRegeditFile(bytes);
  if (!decoded) return std::nullopt;
  return RegeditText(std::move(decoded->text)).Find(*key_path, name);
}

void RegistryFile::Write(std::uint32_t root, std::string_view key, std::string_view name,
                         const RegistryValue& value) {
  const auto fail = [&](const std::string& reason) {
    throw SettingsError(name, "\"" + path_ + "\"", reason);
  };
  const std::optional<std::string> key_path = FullKeyPath(root, key);
  if (!key_path) fail("unknown root key");
  std::string bytes;
  if (!Load(bytes)) fail(ErrorText(errno));
  std::optional<DecodedText> decoded = DecodeRegeditFile(bytes);
  if (!decoded) fail("the file is UTF-16 of an odd number of bytes");
  // A new file, or one holding only its byte-order mark, starts with the header of the
  // version its encoding belongs to.
  if (decoded->text.empty() && decoded->encoding != TextEncoding::kAnsi) {
    decoded->text = std::string(kRegedit5Header) + "\r\n";
  }
  RegeditText edited(std::move(decoded->text));
  if (!edited.text().empty() && !edited.HasKnownHeader()) {
    fail("the file does not start with a regedit header");
  }
  if (!edited.Set(*key_path, name, value)) fail("the name cannot be written in a regedit file");
  const std::optional<std::string> encoded = EncodeRegeditFile(edited.text(), decoded->encoding);
  if (!encoded) fail("the value cannot be written in the file's encoding");

  RemoveTemporaryCopies(path_);  // left by a write that was killed
  std::string target;
  if (!FollowLinks(path_, target) || !MakeDirectories(ParentFolder(target))) fail(ErrorText(errno));
  try {
    ReplaceKeepingRights(path_, *encoded, InPlace::kNever);
  } catch (const FileError& failure) {
    fail(failure.reason());
  }
}

std::unique_ptr<RegistryHive> OpenSystemRegistry() {
  return std::make_unique<RegistryFile>(
      EnvironmentOr("TESSALINE_REGISTRY", "/var/lib/tessaline/registry.reg"));
}

}  // namespace tsl
