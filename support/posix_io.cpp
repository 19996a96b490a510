#include "support/posix_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "support/temporary_name.h"

namespace tsl {
namespace {

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

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

}  // namespace

void FdTraits::Close(Handle fd) { ::close(fd); }

std::string ErrorText(int error) {
  return error == kNotRegularFile ? "not a regular file" : std::strerror(error);
}

UniqueFd OpenRegularFile(const std::string& path, int flags) {
  // Without O_NONBLOCK, opening a FIFO waits for the other end.
  UniqueFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644));
  if (!fd.valid()) return fd;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return UniqueFd();
  if (!S_ISREG(info.st_mode)) {
    errno = kNotRegularFile;
    return UniqueFd();
  }
  if (::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK) != 0) return UniqueFd();
  return fd;
}

bool ReadAll(int fd, std::string& out) {
  struct stat info {};
  size_t expected = 0;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
    expected = static_cast<size_t>(info.st_size);
  out.clear();
  // One byte more than the size, so that a file that has not grown ends in one read.
  out.resize(expected + 1);
  size_t used = 0;
  while (true) {
    if (used == out.size()) out.resize(out.size() * 2);
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

void RemoveTemporaryCopies(const std::string& path) {
  std::string target;
  if (!FollowLinks(path, target)) return;
  const std::string folder = ParentDirectory(target);
  const std::string name = BaseName(target);
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
  if (!listing) return;
  while (const dirent* entry = ::readdir(listing.get())) {
    if (IsTemporaryCopyOf(entry->d_name, name)) ::unlink((folder + "/" + entry->d_name).c_str());
  }
}

ReplaceOutcome ReplaceAtomically(const std::string& path, std::string_view contents) {
  std::string target;
  if (!FollowLinks(path, target)) return ReplaceOutcome::kFailed;
  struct stat info {};
  const bool existed = ::stat(target.c_str(), &info) == 0;
  if (existed && !S_ISREG(info.st_mode)) {
    errno = kNotRegularFile;
    return ReplaceOutcome::kFailed;
  }

  std::string temporary = TemporaryStem(target) + "XXXXXX";
  const UniqueFd fd(::mkstemp(temporary.data()));
  if (!fd.valid()) {
    return FolderRefusal(errno) ? ReplaceOutcome::kFolderRefused : ReplaceOutcome::kFailed;
  }
  const auto give_up = [&temporary](ReplaceOutcome outcome) {
    const int error = errno;
    ::unlink(temporary.c_str());
    errno = error;
    return outcome;
  };
  if (!WriteAll(fd.get(), contents)) return give_up(ReplaceOutcome::kFailed);
  // Owner first: a change of owner clears the set-user and set-group bits.
  if (existed && (info.st_uid != ::geteuid() || info.st_gid != ::getegid()) &&
      ::fchown(fd.get(), info.st_uid, info.st_gid) != 0) {
    return give_up(ReplaceOutcome::kFolderRefused);
  }
  const mode_t mode = existed ? info.st_mode & 07777 : 0644;
  if (::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0) {
    return give_up(ReplaceOutcome::kFailed);
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    return give_up(FolderRefusal(errno) ? ReplaceOutcome::kFolderRefused : ReplaceOutcome::kFailed);
  }
  SyncDirectory(target);
  return ReplaceOutcome::kReplaced;
}

}  // namespace tsl
