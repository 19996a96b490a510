#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "protection/file_system.h"
#include "protection/lock_file.h"
#include "support/posix_io.h"

namespace tsl {

struct LockFile::Handle {
  UniqueFd fd;
};

LockFile::LockFile(const std::string& path) : path_(path), handle_(std::make_unique<Handle>()) {
  handle_->fd = OpenRegularFile(path, O_RDWR | O_CREAT);
  if (!handle_->fd.valid()) throw FileError("open the lock", path, ErrorText(errno));
}

LockFile::~LockFile() = default;

bool LockFile::TryLock() {
  if (::flock(handle_->fd.get(), LOCK_EX | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK && errno != EINTR) throw FileError("lock", path_, ErrorText(errno));
  return false;
}

std::string LockFile::Holder() const {
  std::string text;
  if (::lseek(handle_->fd.get(), 0, SEEK_SET) != 0 || !ReadAll(handle_->fd.get(), text)) return {};
  return text.substr(0, text.find_first_not_of("0123456789"));
}

void LockFile::RecordHolder() {
  const std::string pid = std::to_string(::getpid()) + "\n";
  [[maybe_unused]] const bool recorded =
      ::ftruncate(handle_->fd.get(), 0) == 0 &&
      ::pwrite(handle_->fd.get(), pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size());
}

}  // namespace tsl
