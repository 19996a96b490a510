#include <windows.h>

#include <string>

#include "protection/file_system.h"
#include "protection/lock_file.h"
#include "protection/operation_lock.h"
#include "protection/real_file_system.h"
#include "support/win32_error.h"
#include "support/win32_handle.h"

namespace tsl {
namespace {

// The locked byte lies far past the end of the file, so that the holder's process number
// at its start stays readable: Windows locks keep other processes from reading a locked
// range.
constexpr DWORD kLockedOffsetHigh = 1;

}  // namespace

// Beside the program, as before.
std::string SystemLockPath() {
  return ExecutableFolder() + kPathSeparator + std::string(kOperationLockName);
}

struct LockFile::Handle {
  UniqueHandle file;
};

LockFile::LockFile(const std::string& path) : path_(path), handle_(std::make_unique<Handle>()) {
  handle_->file.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle_->file.valid()) {
    throw FileError("open the lock", path, SystemMessage(GetLastError()));
  }
  if (GetFileType(handle_->file.get()) != FILE_TYPE_DISK) {
    throw FileError("open the lock", path, "not a regular file");
  }
}

LockFile::~LockFile() = default;

bool LockFile::TryLock() {
  OVERLAPPED at{};
  at.OffsetHigh = kLockedOffsetHigh;
  if (LockFileEx(handle_->file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                 &at)) {
    return true;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
    throw FileError("lock", path_, SystemMessage(error));
  }
  return false;
}

std::string LockFile::Holder() const {
  char digits[16] = {};
  DWORD got = 0;
  OVERLAPPED at{};
  if (!ReadFile(handle_->file.get(), digits, sizeof digits - 1, &got, &at)) return {};
  const std::string text(digits, got);
  return text.substr(0, text.find_first_not_of("0123456789"));
}

void LockFile::RecordHolder() {
  const std::string pid = std::to_string(GetCurrentProcessId()) + "\r\n";
  DWORD put = 0;
  OVERLAPPED at{};
  if (WriteFile(handle_->file.get(), pid.data(), static_cast<DWORD>(pid.size()), &put, &at)) {
    LARGE_INTEGER end{};
    end.QuadPart = put;
    SetFilePointerEx(handle_->file.get(), end, nullptr, FILE_BEGIN);
    SetEndOfFile(handle_->file.get());
  }
}

}  // namespace tsl
