#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/path.h"
#include "platform/posix/environment.h"
#include "platform/posix/posix_io.h"

namespace tsl {
namespace {

// A folder only root can create on a running system, emptied at each start.
constexpr const char* kSystemLockFolder = "/run/tessaline";

// Refuses a folder or file that someone other than the caller owns, or that `others` (mode
// bits) lets others into: anyone who can write the folder can replace the lock file, and
// anyone who can open the lock file can hold it.
void RequireOwnPrivate(int fd, mode_t others, const std::string& operation,
                       const std::string& path) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) throw FileError(operation, path, ErrorText(errno));
  if (info.st_uid != ::geteuid()) throw FileError(operation, path, ErrorText(kOtherUsersFile));
  if ((info.st_mode & others) != 0) {
    throw FileError(operation, path, ErrorText(kOpenToOtherUsers));
  }
}

}  // namespace

// TESSALINE_LOCK stands in for it, as TESSALINE_WINDIR does for the hosts file's place.
std::string SystemLockPath() {
  return EnvironmentOr("TESSALINE_LOCK",
                       std::string(kSystemLockFolder) + "/" + std::string(kOperationLockName));
}

struct LockFile::Handle {
  UniqueFd fd;
};

// The folder is created for the caller alone (0700) and the file 0600; neither is followed
// when it is a symbolic link.
LockFile::LockFile(const std::string& path) : path_(path), handle_(std::make_unique<Handle>()) {
  const std::string folder = ParentFolder(path);
  if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
    throw FileError("create the folder of the lock", folder, ErrorText(errno));
  }
  const UniqueFd directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!directory.valid()) {
    throw FileError("open the folder of the lock", folder,
                    ErrorText(errno == ENOTDIR || errno == ELOOP ? kNotRegularFile : errno));
  }
  RequireOwnPrivate(directory.get(), S_IWGRP | S_IWOTH, "open the folder of the lock", folder);
  handle_->fd = OpenRegularFileAt(directory.get(), FileName(path), O_RDWR | O_CREAT);
  if (!handle_->fd.valid()) throw FileError("open the lock", path, ErrorText(errno));
  RequireOwnPrivate(handle_->fd.get(), S_IRWXG | S_IRWXO, "open the lock", path);
}

LockFile::~LockFile() = default;

bool LockFile::TryLock() {
  if (::flock(handle_->fd.get(), LOCK_EX | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK && errno != EINTR) throw FileError("lock", path_, ErrorText(errno));
  return false;
}

// The kernel's own record of who holds the lock (/proc/locks), so that a process number
// written by an earlier holder is never taken for the present one.
std::string LockFile::Holder() const {
  struct stat info {};
  if (::fstat(handle_->fd.get(), &info) != 0) return {};
  char device[64];
  std::snprintf(device, sizeof device, "%02x:%02x:%llu", ::major(info.st_dev), ::minor(info.st_dev),
                static_cast<unsigned long long>(info.st_ino));
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; waiters have "->" after the number.
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, file;
    if (fields >> number >> kind >> mode >> access >> pid >> file && kind == "FLOCK" &&
        file == device && pid.find_first_not_of("0123456789") == std::string::npos && pid != "0") {
      return pid;
    }
  }
  return {};
}

// The kernel records the holder itself.
void LockFile::RecordHolder() {}

}  // namespace tsl
