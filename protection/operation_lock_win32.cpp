#include <windows.h>

#include <string>

#include "protection/file_system.h"
#include "protection/operation_lock.h"
#include "support/win32_error.h"
#include "support/win32_handle.h"

namespace tsl {
namespace {

constexpr DWORD kRetryPauseMs = 20;

// The locked byte lies far past the end of the file, so that the holder's process number
// at its start stays readable: Windows locks keep other processes from reading a locked
// range.
constexpr DWORD kLockedOffsetHigh = 1;

bool TryLock(HANDLE file) {
  OVERLAPPED at{};
  at.OffsetHigh = kLockedOffsetHigh;
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

// The process number the holder wrote into the lock file, or nothing.
std::string Holder(HANDLE file) {
  char digits[16] = {};
  DWORD got = 0;
  OVERLAPPED at{};
  if (!ReadFile(file, digits, sizeof digits - 1, &got, &at)) return {};
  const std::string text(digits, got);
  return text.substr(0, text.find_first_not_of("0123456789"));
}

}  // namespace

struct OperationLock::Held {
  UniqueHandle file;
};

OperationLock::OperationLock(const std::string& path, std::chrono::milliseconds wait)
    : held_(std::make_unique<Held>()) {
  held_->file.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held_->file.valid()) throw FileError("open the lock", path, SystemMessage(GetLastError()));
  if (GetFileType(held_->file.get()) != FILE_TYPE_DISK) {
    throw FileError("open the lock", path, "not a regular file");
  }
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(wait.count());
  while (!TryLock(held_->file.get())) {
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      throw FileError("lock", path, SystemMessage(error));
    }
    if (GetTickCount64() >= deadline) {
      throw FileError("lock", path, LockTimeoutReason(Holder(held_->file.get()), wait));
    }
    Sleep(kRetryPauseMs);
  }
  // Who holds the lock, for the report of an operation that waits in vain; best effort.
  const std::string pid = std::to_string(GetCurrentProcessId()) + "\r\n";
  DWORD put = 0;
  OVERLAPPED at{};
  if (WriteFile(held_->file.get(), pid.data(), static_cast<DWORD>(pid.size()), &put, &at)) {
    LARGE_INTEGER end{};
    end.QuadPart = put;
    SetFilePointerEx(held_->file.get(), end, nullptr, FILE_BEGIN);
    SetEndOfFile(held_->file.get());
  }
}

// Closing the file releases the lock.
OperationLock::~OperationLock() = default;

}  // namespace tsl
