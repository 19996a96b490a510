#include "platform/win32/open_file.h"

#include <algorithm>

#include "platform/file_system.h"
#include "platform/win32/busy_retry.h"
#include "platform/win32/error.h"

namespace tsl {
namespace {

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

void FailFileStep(const std::string& operation, const std::string& path, DWORD error) {
  throw FileError(operation, path, SystemMessage(error));
}

UniqueHandle OpenOrFail(const std::string& operation, const std::string& path, DWORD access,
                        DWORD disposition, Links links) {
  const DWORD flags =
      FILE_ATTRIBUTE_NORMAL | (links == Links::kRefuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  BusyRetry retry;
  UniqueHandle handle;
  while (true) {
    handle.reset(
        CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr));
    if (handle.valid()) break;
    const DWORD error = GetLastError();
    // A folder is refused with "Access denied", which is no holder to wait for.
    if (IsFolder(path)) throw FileError(operation, path, "not a regular file");
    if (!retry.Again(error)) FailFileStep(operation, path, error);
  }
  if (GetFileType(handle.get()) != FILE_TYPE_DISK) {
    throw FileError(operation, path, "not a regular file");
  }
  if (links == Links::kRefuse) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle.get(), &information)) {
      FailFileStep(operation, path, GetLastError());
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      throw FileError(operation, path, "a link, not a regular file");
    }
  }
  return handle;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1U << 30));
    DWORD put = 0;
    if (!WriteFile(file, bytes.data(), chunk, &put, nullptr)) return false;
    bytes.remove_prefix(put);
  }
  return true;
}

}  // namespace tsl
