#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <string>

#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/win32/ansi_path.h"
#include "platform/win32/error.h"
#include "platform/win32/handle.h"

namespace tsl {
namespace {

// The locked byte lies far past the end of the file, so that the holder's process number
// at its start stays readable: Windows locks keep other processes from reading a locked
// range.
constexpr DWORD kLockedOffsetHigh = 1;

// Full control for SYSTEM and the administrators, inherited by the lock, and nothing for
// anyone else; "P" keeps the program-data folder's own rights from being inherited.
constexpr const char* kAdministratorsOnly = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

std::string ProgramDataFolder() {
  wchar_t found[MAX_PATH] = {};
  const HRESULT result =
      SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, found);
  if (FAILED(result)) {
    throw FileError("find", "the program data folder", SystemMessage(HRESULT_CODE(result)));
  }
  const std::optional<std::string> folder = ExactAnsi(found);
  if (!folder) {
    throw FileError("find", "the program data folder",
                    "its path has characters that the system's code page cannot hold");
  }
  return *folder;
}

// The lock's folder, made when missing, and given the administrators-only rights and owner
// whoever made it: a folder that a user made first (any user may make folders in the
// program data folder) is taken back, or refused when it cannot be; a link is refused.
void SecureLockFolder(const std::string& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdministratorsOnly, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    throw FileError("secure the lock folder", folder, SystemMessage(GetLastError()));
  }
  const UniqueLocalMemory owned(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  if (CreateDirectoryA(folder.c_str(), &attributes)) return;
  const DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS) throw FileError("make", folder, SystemMessage(error));
  const DWORD found = GetFileAttributesA(folder.c_str());
  if (found == INVALID_FILE_ATTRIBUTES || (found & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (found & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    throw FileError("secure the lock folder", folder, "a link or not a folder");
  }
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
  const DWORD secured = SetNamedSecurityInfoA(
      const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      administrators, nullptr, dacl, nullptr);
  if (secured != ERROR_SUCCESS) {
    throw FileError("secure the lock folder", folder, SystemMessage(secured));
  }
}

std::string LockFolder() { return ProgramDataFolder() + "\\" + std::string(kWindowsLockFolder); }

}  // namespace

// Only named here: the folder is made when an operation takes the lock, so that a look at
// the state needs no administrator.
std::string SystemLockPath() { return LockFolder() + "\\" + std::string(kOperationLockName); }

struct LockFile::Handle {
  UniqueHandle file;
};

// The lock is opened itself, never through a link planted in its place; the machine's
// lock only in its secured folder.
LockFile::LockFile(const std::string& path) : path_(path), handle_(std::make_unique<Handle>()) {
  if (path == SystemLockPath()) SecureLockFolder(LockFolder());
  handle_->file.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
  if (!handle_->file.valid()) {
    throw FileError("open the lock", path, SystemMessage(GetLastError()));
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(handle_->file.get()) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(handle_->file.get(), &information) ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
          0) {
    throw FileError("open the lock", path, "a link or not a regular file");
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

// A number whose process has ended was left by an earlier holder; the holder is unknown.
std::string LockFile::Holder() const {
  char digits[16] = {};
  DWORD got = 0;
  OVERLAPPED at{};
  if (!ReadFile(handle_->file.get(), digits, sizeof digits - 1, &got, &at)) return {};
  const std::string text(digits, got);
  std::string number = text.substr(0, text.find_first_not_of("0123456789"));
  if (number.empty() || number.size() > 10) return {};
  const UniqueNullableHandle process(
      OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::stoul(number))));
  if (!process.valid() || WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) return {};
  return number;
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
