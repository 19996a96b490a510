#include <windows.h>

#include <algorithm>
#include <string>

#include "protection/real_file_system.h"
#include "support/unique_resource.h"
#include "support/win32_handle.h"

namespace tsl {

const char kPathSeparator = '\\';

namespace {

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { FindClose(handle); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

std::string SystemMessage(DWORD error) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string message = length > 0 ? std::string(buffer, length) : std::string();
  LocalFree(buffer);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
}

[[noreturn]] void Fail(const std::string& operation, const std::string& path) {
  throw FileError(operation, path, SystemMessage(GetLastError()));
}

UniqueHandle OpenOrFail(const std::string& operation, const std::string& path, DWORD access,
                        DWORD disposition) {
  UniqueHandle handle(CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) Fail(operation, path);
  return handle;
}

void FlushOrFail(const UniqueHandle& handle, const std::string& path) {
  if (!FlushFileBuffers(handle.get())) Fail("flush", path);
}

}  // namespace

// The buffer is sized from what the system asks for, so a long Windows directory comes
// back whole instead of cut.
std::string SystemWindowsDirectory() {
  const UINT needed = GetWindowsDirectoryA(nullptr, 0);
  if (needed == 0) return {};
  std::string directory(needed, '\0');
  const UINT length = GetWindowsDirectoryA(directory.data(), needed);
  directory.resize(length < needed ? length : 0);
  return directory;
}

std::string ExecutableFolder() {
  std::string path(MAX_PATH, '\0');
  while (true) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return ".";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t separator = path.find_last_of('\\');
  if (separator == std::string::npos) return ".";
  // "C:\tessaline.exe" lives in "C:\", the one folder that keeps its separator.
  if (separator == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, separator);
}

// A directory listing of exactly this name that passes the normal-file filter: plain,
// read-only and archive files count; hidden and system files, volume labels and
// directories do not.
bool RealFileSystem::FileExists(const std::string& path) const {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
  WIN32_FIND_DATAA found{};
  const UniqueFindHandle find(FindFirstFileA(path.c_str(), &found));
  if (!find.valid()) return false;
  constexpr DWORD kNotNormal = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_DIRECTORY | 0x8 /* volume label */;
  return (found.dwFileAttributes & kNotNormal) == 0 && found.cFileName[0] != '\0';
}

std::string RealFileSystem::ReadWholeFile(const std::string& path) const {
  const UniqueHandle file = OpenOrFail("read", path, GENERIC_READ, OPEN_EXISTING);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) Fail("read", path);
  std::string contents(static_cast<size_t>(size.QuadPart), '\0');
  size_t used = 0;
  while (used < contents.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents.size() - used, 1U << 30));
    DWORD got = 0;
    if (!ReadFile(file.get(), contents.data() + used, chunk, &got, nullptr)) Fail("read", path);
    if (got == 0) break;
    used += got;
  }
  contents.resize(used);
  return contents;
}

// CopyFileA cannot replace a read-only or hidden file, and the copy carries the source's
// attributes: a read-only hosts file gives a read-only backup, which the next activation
// must still be able to replace.
void RealFileSystem::CopyFileOver(const std::string& from, const std::string& to) {
  if (GetFileAttributesA(from.c_str()) == INVALID_FILE_ATTRIBUTES) Fail("read", from);
  SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);  // fails harmlessly when `to` is new
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) Fail("copy \"" + from + "\" to", to);
  // Flushing needs write access, which a read-only copy only grants once it is writable.
  const DWORD attributes = GetFileAttributesA(to.c_str());
  const bool read_only =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (read_only) SetFileAttributesA(to.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  {
    const UniqueHandle copy = OpenOrFail("flush", to, GENERIC_WRITE, OPEN_EXISTING);
    FlushOrFail(copy, to);
  }
  if (read_only) SetFileAttributesA(to.c_str(), attributes);
}

// The copy is made beside `to` under another name and then takes its place.
void RealFileSystem::CopyFileAtomically(const std::string& from, const std::string& to) {
  const std::string temporary = to + ".new";
  CopyFileOver(from, temporary);
  SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!MoveFileExA(temporary.c_str(), to.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileA(temporary.c_str());
    throw FileError("replace", to, SystemMessage(error));
  }
}

void RealFileSystem::SetAttributesNormal(const std::string& path) {
  if (!SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL)) Fail("set the attributes of", path);
}

void RealFileSystem::AppendToFile(const std::string& path,
                                  std::initializer_list<std::string_view> pieces) {
  const UniqueHandle file = OpenOrFail("append to", path, GENERIC_WRITE, OPEN_ALWAYS);
  if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_END)) Fail("append to", path);
  for (std::string_view piece : pieces) {
    while (!piece.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(piece.size(), 1U << 30));
      DWORD put = 0;
      if (!WriteFile(file.get(), piece.data(), chunk, &put, nullptr)) Fail("append to", path);
      piece.remove_prefix(put);
    }
  }
  FlushOrFail(file, path);
}

}  // namespace tsl
