#include "platform/posix/posix_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/temporary_name.h"

namespace tsl {
namespace {

// A new file or a rename that the folder itself turns away, as opposed to data that did
// not fit or could not be written.
bool FolderRefusal(int error) {
  return error == EACCES || error == EPERM || error == EROFS || error == EBUSY || error == EXDEV;
}

void SyncDirectory(const std::string& path) {
  const UniqueFd directory(
      ::open(ParentDirectory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.valid()) ::fsync(directory.get());
}

// A new file of mode 0600 beside `target`, named as its temporary copy.
UniqueFd CreateTemporaryCopy(const std::string& target, std::string& temporary) {
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (!RandomTemporaryName(target, temporary)) return UniqueFd();
    UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       S_IRUSR | S_IWUSR));
    if (fd.valid() || errno != EEXIST) return fd;
  }
  return UniqueFd();
}

// Gives the copy every extended attribute of `target` (POSIX ACLs, security labels,
// trusted and user attributes, file capabilities). False when one cannot be read or given.
bool CopyExtendedAttributes(const std::string& target, int copy) {
  ssize_t size = ::llistxattr(target.c_str(), nullptr, 0);
  if (size < 0) return errno == ENOTSUP;  // a file system without them
  std::vector<char> names(static_cast<size_t>(size));
  size = ::llistxattr(target.c_str(), names.data(), names.size());
  if (size < 0) return false;
  for (const char* name = names.data(); name < names.data() + size; name += std::strlen(name) + 1) {
    const ssize_t length = ::lgetxattr(target.c_str(), name, nullptr, 0);
    if (length < 0) return false;
    std::vector<char> value(static_cast<size_t>(length));
    const ssize_t got = ::lgetxattr(target.c_str(), name, value.data(), value.size());
    if (got < 0 || ::fsetxattr(copy, name, value.data(), static_cast<size_t>(got), 0) != 0) {
      return false;
    }
  }
  return true;
}

// Writes a temporary copy beside `target` (no link), gives it its attributes with
// `attributes` once every byte is on stable storage, and renames it over `target`. The
// attributes are the last change before the rename, so that a copy is 0600 while its bytes
// are written; a journalling file system has them on its disk no later than the rename.
ReplaceOutcome ReplaceWithCopy(const std::string& target, std::string_view contents,
                               const std::function<ReplaceOutcome(int)>& attributes) {
  std::string temporary;
  const UniqueFd fd = CreateTemporaryCopy(target, temporary);
  if (!fd.valid()) {
    return FolderRefusal(errno) ? ReplaceOutcome::kInPlaceOnly : ReplaceOutcome::kFailed;
  }
  const auto give_up = [&temporary](ReplaceOutcome outcome) {
    const int error = errno;
    ::unlink(temporary.c_str());
    errno = error;
    return outcome;
  };
  if (!WriteAll(fd.get(), contents) || ::fsync(fd.get()) != 0) {
    return give_up(ReplaceOutcome::kFailed);
  }
  const ReplaceOutcome given = attributes(fd.get());
  if (given != ReplaceOutcome::kReplaced) return give_up(given);
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    return give_up(FolderRefusal(errno) ? ReplaceOutcome::kInPlaceOnly : ReplaceOutcome::kFailed);
  }
  SyncDirectory(target);
  return ReplaceOutcome::kReplaced;
}

}  // namespace

void FdTraits::Close(Handle fd) { ::close(fd); }

std::string ErrorText(int error) {
  switch (error) {
    case kNotRegularFile:
      return "not a regular file";
    case kSymbolicLink:
      return "a symbolic link";
    case kOtherUsersFile:
      return "owned by another user";
    case kOpenToOtherUsers:
      return "open to other users";
    case kTooBig:
      return "too big";
    default:
      return std::strerror(error);
  }
}

namespace {

// A descriptor opened with O_NONBLOCK, kept only when it names a regular file, and then
// made blocking again.
UniqueFd OnlyRegular(UniqueFd fd) {
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return UniqueFd();
  if (!S_ISREG(info.st_mode)) {
    errno = kNotRegularFile;
    return UniqueFd();
  }
  if (::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK) != 0) return UniqueFd();
  return fd;
}

}  // namespace

UniqueFd OpenRegularFile(const std::string& path, int flags) {
  // Without O_NONBLOCK, opening a FIFO waits for the other end.
  UniqueFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644));
  if (!fd.valid()) return fd;
  return OnlyRegular(std::move(fd));
}

UniqueFd OpenRegularFileAt(int directory, const std::string& name, int flags) {
  UniqueFd fd(::openat(directory, name.c_str(),
                       flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, S_IRUSR | S_IWUSR));
  if (!fd.valid()) {
    struct stat info {};
    if (errno == ELOOP && ::fstatat(directory, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(info.st_mode)) {
      errno = kSymbolicLink;
    }
    return fd;
  }
  return OnlyRegular(std::move(fd));
}

bool ReadAll(int fd, std::string& out, std::uint64_t limit) {
  struct stat info {};
  std::uint64_t expected = 0;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    expected = static_cast<std::uint64_t>(info.st_size);
  }
  out.clear();
  if (expected > limit) {
    errno = kTooBig;
    return false;
  }
  // One byte more than the size, so that a file that has not grown ends in one read.
  out.resize(static_cast<size_t>(expected) + 1);
  size_t used = 0;
  while (true) {
    if (used == out.size()) {
      if (used > limit) {
        out.clear();
        errno = kTooBig;
        return false;
      }
      out.resize(static_cast<size_t>(std::min<std::uint64_t>(out.size() * 2, limit + 1)));
    }
    const ssize_t got = ::read(fd, out.data() + used, out.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) break;
    used += static_cast<size_t>(got);
  }
  out.resize(used);
  return true;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t put = ::write(fd, data.data(), data.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(put));
  }
  return true;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ParentDirectory(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool FollowLinks(const std::string& path, std::string& target) {
  constexpr int kMaxLinks = 40;  // as the kernel allows
  target = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    std::string link(static_cast<size_t>(info.st_size) + 1, '\0');
    const ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
    if (length < 0) return false;
    link.resize(static_cast<size_t>(length));
    if (link.empty() || link.front() != '/') link.insert(0, ParentDirectory(target) + "/");
    target = std::move(link);
  }
  errno = ELOOP;
  return false;
}

void RemoveTemporaryCopiesIn(const std::string& folder,
                             const std::function<bool(std::string_view)>& of) {
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
  if (!listing) return;
  while (const dirent* entry = ::readdir(listing.get())) {
    const std::string_view original = TemporaryCopyOriginal(entry->d_name);
    if (original.empty() || !of(original)) continue;
    struct stat info {};
    if (::fstatat(::dirfd(listing.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && info.st_uid == ::geteuid()) {
      ::unlinkat(::dirfd(listing.get()), entry->d_name, 0);
    }
  }
}

void RemoveTemporaryCopies(const std::string& path) {
  std::string target;
  if (!FollowLinks(path, target)) return;
  const std::string name = BaseName(target);
  RemoveTemporaryCopiesIn(ParentDirectory(target),
                          [&name](std::string_view original) { return original == name; });
}

ReplaceOutcome ReplaceAtomically(const std::string& path, std::string_view contents) {
  std::string target;
  if (!FollowLinks(path, target)) return ReplaceOutcome::kFailed;
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) {
    if (errno != ENOENT) return ReplaceOutcome::kFailed;
    return ReplaceWithCopy(target, contents, [](int copy) {
      return ::fchmod(copy, 0644) == 0 ? ReplaceOutcome::kReplaced : ReplaceOutcome::kFailed;
    });
  }
  if (!S_ISREG(info.st_mode)) {
    errno = kNotRegularFile;
    return ReplaceOutcome::kFailed;
  }
  // A copy would split the link: the other names would keep the old bytes.
  if (info.st_nlink > 1) {
    errno = EMLINK;
    return ReplaceOutcome::kInPlaceOnly;
  }
  return ReplaceWithCopy(target, contents, [&](int copy) {
    // Owner first: a change of owner clears the set-user and set-group bits and file
    // capabilities. Mode before the extended attributes: the access ACL then sets the
    // group bits back to its mask.
    if ((info.st_uid != ::geteuid() || info.st_gid != ::getegid()) &&
        ::fchown(copy, info.st_uid, info.st_gid) != 0) {
      return ReplaceOutcome::kInPlaceOnly;
    }
    if (::fchmod(copy, info.st_mode & 07777) != 0) return ReplaceOutcome::kFailed;
    if (!CopyExtendedAttributes(target, copy)) return ReplaceOutcome::kInPlaceOnly;
    return ReplaceOutcome::kReplaced;
  });
}

ReplaceOutcome ReplaceOwnFile(const std::string& path, std::string_view contents,
                              const struct stat& like) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    errno = S_ISLNK(info.st_mode) ? kSymbolicLink : kNotRegularFile;
    return ReplaceOutcome::kFailed;
  }
  // The caller's own file, so that no one else may change what the caller reads back;
  // readable by others only where `like` is.
  mode_t mode = S_IRUSR | S_IWUSR;
  if ((like.st_mode & S_IROTH) != 0) {
    mode |= S_IRGRP | S_IROTH;
  } else if ((like.st_mode & S_IRGRP) != 0 && like.st_gid == ::getegid()) {
    mode |= S_IRGRP;
  }
  return ReplaceWithCopy(path, contents, [mode](int copy) {
    return ::fchmod(copy, mode) == 0 ? ReplaceOutcome::kReplaced : ReplaceOutcome::kFailed;
  });
}

}  // namespace tsl
