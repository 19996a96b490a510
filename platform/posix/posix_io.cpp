#include "platform/posix/posix_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/path.h"
#include "platform/temporary_name.h"

namespace tsl {
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
    if (link.empty() || link.front() != '/') link.insert(0, ParentFolder(target) + "/");
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
  const std::string name = FileName(target);
  RemoveTemporaryCopiesIn(ParentFolder(target),
                          [&name](std::string_view original) { return original == name; });
}

}  // namespace tsl
