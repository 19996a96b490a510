#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/app_folder_trust.h"
#include "platform/file_system.h"
#include "platform/posix/posix_io.h"
#include "text/block_section.h"

namespace tsl {
namespace {

constexpr const char* kOperation = "run as root with";

// The entries of a POSIX access ACL as the kernel stores it (system.posix_acl_access): a
// 4-byte version, then 8 bytes per entry.
constexpr std::uint16_t kAclUser = 0x02;
constexpr std::uint16_t kAclGroupObject = 0x04;
constexpr std::uint16_t kAclGroup = 0x08;
constexpr std::uint16_t kAclMask = 0x10;
constexpr std::uint16_t kAclWrite = 0x02;

struct AclEntry {
  std::uint16_t tag;
  std::uint16_t permissions;
  std::uint32_t id;
};

// Whether a user or group other than root may write the file through its access ACL; the
// mask limits every named entry and the owning group.
bool AclLetsOthersWrite(const std::string& path, gid_t group) {
  const ssize_t size = ::lgetxattr(path.c_str(), "system.posix_acl_access", nullptr, 0);
  if (size <= 4) return false;
  std::vector<char> bytes(static_cast<size_t>(size));
  if (::lgetxattr(path.c_str(), "system.posix_acl_access", bytes.data(), bytes.size()) != size) {
    return true;  // changed while looked at: not to be trusted
  }
  std::vector<AclEntry> entries((bytes.size() - 4) / sizeof(AclEntry));
  std::memcpy(entries.data(), bytes.data() + 4, entries.size() * sizeof(AclEntry));
  bool mask_writes = true;
  for (const AclEntry& entry : entries) {
    if (entry.tag == kAclMask) mask_writes = (entry.permissions & kAclWrite) != 0;
  }
  for (const AclEntry& entry : entries) {
    const bool writes = (entry.permissions & kAclWrite) != 0 && mask_writes;
    if (!writes) continue;
    if ((entry.tag == kAclUser || entry.tag == kAclGroup) && entry.id != 0) return true;
    if (entry.tag == kAclGroupObject && group != 0) return true;
  }
  return false;
}

// Someone other than root can write it: another owner, a group other than root's with
// write permission, write permission for all (sticky or not), or an ACL entry that lets
// another user or group write.
bool OthersCanWrite(const std::string& path, const struct stat& info) {
  return info.st_uid != 0 || (info.st_gid != 0 && (info.st_mode & S_IWGRP) != 0) ||
         (info.st_mode & S_IWOTH) != 0 || AclLetsOthersWrite(path, info.st_gid);
}

void RefuseOthersWriting(const std::string& path, const struct stat& info) {
  if (OthersCanWrite(path, info)) {
    throw FileError(kOperation, path, "a user other than root can write it");
  }
}

void RequireTrustedFolder(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) throw FileError(kOperation, path, ErrorText(errno));
  RefuseOthersWriting(path, info);
}

enum class Writers { kRootOnly, kAnyone };

// A missing file is fine: the operations say so in their own words.
void RequireTrustedFileIfAny(const std::string& path, Writers writers) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return;
    throw FileError(kOperation, path, ErrorText(errno));
  }
  if (S_ISLNK(info.st_mode)) throw FileError(kOperation, path, ErrorText(kSymbolicLink));
  if (!S_ISREG(info.st_mode)) throw FileError(kOperation, path, ErrorText(kNotRegularFile));
  if (writers == Writers::kRootOnly) RefuseOthersWriting(path, info);
}

}  // namespace

void RequireTrustedAppFolder(const std::string& app_folder) {
  if (::geteuid() != 0) return;
  RequireTrustedFolder(app_folder);
  for (const std::string_view name : {kBlockListName, kSectionRecordName}) {
    RequireTrustedFileIfAny(app_folder + "/" + std::string(name), Writers::kRootOnly);
  }
  // host.bak's bytes never reach the hosts file, and the next activation replaces it with
  // root's own file: one that an earlier version gave the hosts file's owner and mode does
  // not stop root. A link is still refused, since the backup is written where it stands.
  RequireTrustedFileIfAny(app_folder + "/" + std::string(kHostsBackupName), Writers::kAnyone);
}

}  // namespace tsl
