// The platform's half of the operation lock: one file locked for exclusive use, which also
// names its holder. flock on POSIX, LockFileEx on Windows.
#pragma once

#include <memory>
#include <string>

namespace tsl {

class LockFile {
 public:
  // Opens the file, creating it when missing; throws FileError when it cannot.
  explicit LockFile(const std::string& path);
  ~LockFile();  // closing the file lets go of the lock
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Takes the lock without waiting: false while another holds it. Throws FileError when
  // the system refuses for any other reason.
  bool TryLock();
  // The process number the holder recorded, or nothing.
  [[nodiscard]] std::string Holder() const;
  // Records this process as the holder; best effort.
  void RecordHolder();

 private:
  struct Handle;
  std::string path_;
  std::unique_ptr<Handle> handle_;
};

// The machine's one operation lock, at a fixed place that only administrators can open.
std::string SystemLockPath();

}  // namespace tsl
