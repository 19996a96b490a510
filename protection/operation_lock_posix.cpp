#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "protection/file_system.h"
#include "protection/operation_lock.h"
#include "support/posix_io.h"

namespace tsl {
namespace {

constexpr std::chrono::milliseconds kRetryPause{20};

// The process number the holder wrote into the lock file, or nothing.
std::string Holder(int fd) {
  std::string text;
  if (::lseek(fd, 0, SEEK_SET) != 0 || !ReadAll(fd, text)) return {};
  const size_t end = text.find_first_not_of("0123456789");
  return text.substr(0, end);
}

}  // namespace

struct OperationLock::Held {
  UniqueFd fd;
};

OperationLock::OperationLock(const std::string& path, std::chrono::milliseconds wait)
    : held_(std::make_unique<Held>()) {
  held_->fd = OpenRegularFile(path, O_RDWR | O_CREAT);
  if (!held_->fd.valid()) throw FileError("open the lock", path, ErrorText(errno));
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (::flock(held_->fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      throw FileError("lock", path, ErrorText(errno));
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      throw FileError("lock", path, LockTimeoutReason(Holder(held_->fd.get()), wait));
    }
    std::this_thread::sleep_for(kRetryPause);
  }
  // Who holds the lock, for the report of an operation that waits in vain; best effort.
  const std::string pid = std::to_string(::getpid()) + "\n";
  [[maybe_unused]] const bool recorded =
      ::ftruncate(held_->fd.get(), 0) == 0 &&
      ::pwrite(held_->fd.get(), pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size());
}

OperationLock::~OperationLock() = default;  // closing the file releases the lock

}  // namespace tsl
