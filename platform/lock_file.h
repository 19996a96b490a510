// The platform's half of the operation lock: one file locked for exclusive use, which also
// names its holder. flock on POSIX, LockFileEx on Windows.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tsl {

// The one lock file of the machine, in its lock folder; on Windows that folder is
// kWindowsLockFolder in the machine's program data folder. The installers remove both.
inline constexpr std::string_view kOperationLockName = "tessaline.lock";
inline constexpr std::string_view kWindowsLockFolder = "Tessaline";

class LockFile {
 public:
  // Opens the file, creating it (and the machine's lock folder) when missing; throws FileError
  // when it cannot, and when others could open the file or replace it (a symbolic link,
  // another user's file or folder, one that others may write).
  explicit LockFile(const std::string& path);
  ~LockFile();  // closing the file lets go of the lock
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Takes the lock without waiting: false while another holds it. Throws FileError when
  // the system refuses for any other reason.
  bool TryLock();
  // The process number of the holder, or nothing when the system cannot tell.
  [[nodiscard]] std::string Holder() const;
  // Records this process as the holder where the system does not; best effort.
  void RecordHolder();

 private:
  struct Handle;
  std::string path_;
  std::unique_ptr<Handle> handle_;
};

// The machine's one operation lock, the same for every copy of the program, at a fixed
// place that only administrators can open (made when the lock is first taken).
std::string SystemLockPath();

}  // namespace tsl
