#include "support/posix_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tsl {

void FdTraits::Close(Handle fd) { ::close(fd); }

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

bool ReplaceAtomically(const std::string& path, std::string_view contents) {
  mode_t mode = 0644;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) mode = info.st_mode & 07777;

  std::string temporary = path + ".XXXXXX";
  const UniqueFd fd(::mkstemp(temporary.data()));
  if (!fd.valid()) return false;
  if (!WriteAll(fd.get(), contents) || ::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0 ||
      ::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    errno = error;
    return false;
  }
  const UniqueFd directory(
      ::open(ParentDirectory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.valid()) ::fsync(directory.get());
  return true;
}

}  // namespace tsl
