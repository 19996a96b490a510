#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>

#include "protection/real_file_system.h"
#include "support/temporary_name.h"
#include "support/win32_error.h"
#include "support/win32_handle.h"

namespace tsl {

const char kPathSeparator = '\\';

namespace {

[[noreturn]] void Fail(const std::string& operation, const std::string& path,
                       DWORD error = GetLastError()) {
  throw FileError(operation, path, SystemMessage(error));
}

// Opens a file on disk and refuses anything else at once (a pipe, a console, a device).
UniqueHandle OpenOrFail(const std::string& operation, const std::string& path, DWORD access,
                        DWORD disposition) {
  UniqueHandle handle(CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) Fail(operation, path);
  if (GetFileType(handle.get()) != FILE_TYPE_DISK) {
    throw FileError(operation, path, "not a regular file");
  }
  return handle;
}

void FlushOrFail(const UniqueHandle& handle, const std::string& path) {
  if (!FlushFileBuffers(handle.get())) Fail("flush", path);
}

std::pair<std::string, std::string> SplitFolder(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return {".", path};
  return {path.substr(0, separator), path.substr(separator + 1)};
}

// A name for a temporary copy of `path` that no file has yet; the copy itself makes sure.
std::string TemporaryName(const std::string& path, unsigned attempt) {
  constexpr std::string_view kDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
  unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                            GetTickCount64() ^ (attempt * 0x9E3779B97F4A7C15ULL);
  std::string name = TemporaryStem(path);
  for (size_t i = 0; i < kTemporarySuffixLength; ++i) {
    name.push_back(kDigits[seed % kDigits.size()]);
    seed /= kDigits.size();
  }
  return name;
}

bool FolderRefusal(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ||
         error == ERROR_SHARING_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// Has a fresh copy on stable storage. Flushing needs write access, which a read-only copy
// only grants once it is writable; CopyFileA carries the source's attributes over.
void FlushCopy(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  const bool read_only =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (read_only) SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  {
    const UniqueHandle copy = OpenOrFail("flush", path, GENERIC_WRITE, OPEN_EXISTING);
    FlushOrFail(copy, path);
  }
  if (read_only) SetFileAttributesA(path.c_str(), attributes);
}

void RequireSource(const std::string& from) {
  if (GetFileAttributesA(from.c_str()) == INVALID_FILE_ATTRIBUTES) Fail("read", from);
}

// Copies `from` to a new file beside `to` and has it on stable storage. Returns the copy's
// name, or nothing when the folder refuses new files.
std::optional<std::string> TemporaryCopy(const std::string& from, const std::string& to) {
  RequireSource(from);
  for (unsigned attempt = 0;; ++attempt) {
    const std::string temporary = TemporaryName(to, attempt);
    if (CopyFileA(from.c_str(), temporary.c_str(), TRUE)) {
      try {
        FlushCopy(temporary);
      } catch (const FileError&) {
        DeleteFileA(temporary.c_str());
        throw;
      }
      return temporary;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS && attempt < 100) continue;
    DeleteFileA(temporary.c_str());  // a copy that failed halfway, as on a full disk
    if (FolderRefusal(error)) return std::nullopt;
    Fail("copy \"" + from + "\" to", temporary, error);
  }
}

void WriteAllOrFail(const UniqueHandle& file, std::string_view contents, const std::string& path) {
  while (!contents.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents.size(), 1U << 30));
    DWORD put = 0;
    if (!WriteFile(file.get(), contents.data(), chunk, &put, nullptr)) Fail("write", path);
    contents.remove_prefix(put);
  }
  FlushOrFail(file, path);
}

// A new file beside `to` with these bytes, on stable storage. Returns its name, or
// nothing when the folder refuses new files.
std::optional<std::string> TemporaryFileWith(const std::string& to, std::string_view contents) {
  for (unsigned attempt = 0;; ++attempt) {
    const std::string temporary = TemporaryName(to, attempt);
    UniqueHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid()) {
      try {
        WriteAllOrFail(file, contents, temporary);
      } catch (const FileError&) {
        file.reset();
        DeleteFileA(temporary.c_str());  // a copy that failed halfway, as on a full disk
        throw;
      }
      return temporary;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS && attempt < 100) continue;
    if (FolderRefusal(error)) return std::nullopt;
    Fail("write", temporary, error);
  }
}

// A read-only or hidden file cannot be opened for writing, so it is made normal first.
void WriteInPlace(const std::string& path, std::string_view contents) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  WriteAllOrFail(OpenOrFail("write", path, GENERIC_WRITE, CREATE_ALWAYS), contents, path);
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

// A path that fills the buffer may have been cut, so the buffer grows until it does not.
std::string ExecutableFolder() {
  constexpr const char* kWhat = "the running program";
  constexpr size_t kLongestPath = 32768;
  std::string path(MAX_PATH, '\0');
  while (true) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) Fail("find the folder of", kWhat);
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= kLongestPath) throw FileError("find the folder of", kWhat, "path too long");
    path.resize(path.size() * 2);
  }
  const size_t separator = path.find_last_of('\\');
  if (separator == std::string::npos) {
    throw FileError("find the folder of", path, "not a full path");
  }
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

// ReplaceFileA keeps the replaced file's security descriptor, attributes and streams, which
// a rename would take from the copy.
void RealFileSystem::WriteFileOver(const std::string& path, std::string_view contents) {
  const std::optional<std::string> temporary = TemporaryFileWith(path, contents);
  if (temporary) {
    if (ReplaceFileA(path.c_str(), temporary->c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
      return;
    }
    DWORD error = GetLastError();
    // The hosts file has gone and the copy has not taken its name: give it the name.
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
      if (MoveFileExA(temporary->c_str(), path.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return;
      }
      error = GetLastError();
    }
    DeleteFileA(temporary->c_str());
    if (!FolderRefusal(error)) Fail("replace", path, error);
  }
  WriteInPlace(path, contents);
}

void RealFileSystem::CopyFileOver(const std::string& from, const std::string& to) {
  WriteFileOver(to, ReadWholeFile(from));
}

// The copy carries the source's attributes: a read-only hosts file gives a read-only
// backup, which the next activation must still be able to replace.
void RealFileSystem::CopyFileAtomically(const std::string& from, const std::string& to) {
  const std::optional<std::string> temporary = TemporaryCopy(from, to);
  if (!temporary) Fail("write", to, ERROR_ACCESS_DENIED);
  SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!MoveFileExA(temporary->c_str(), to.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileA(temporary->c_str());
    Fail("replace", to, error);
  }
}

void RealFileSystem::RemoveTemporaryCopies(const std::string& path) {
  const auto [folder, name] = SplitFolder(path);
  WIN32_FIND_DATAA found{};
  const UniqueFindHandle find(FindFirstFileA((TemporaryStem(path) + "*").c_str(), &found));
  if (!find.valid()) return;
  do {
    if (!IsTemporaryCopyOf(found.cFileName, name)) continue;
    const std::string leftover = folder + "\\" + found.cFileName;
    SetFileAttributesA(leftover.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(leftover.c_str());
  } while (FindNextFileA(find.get(), &found));
}

void RealFileSystem::SetAttributesNormal(const std::string& path) {
  if (!SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL)) Fail("set the attributes of", path);
}

std::vector<std::string> RealFileSystem::FileNames(const std::string& folder) const {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  const UniqueFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &found));
  if (!find.valid()) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      names.emplace_back(found.cFileName);
  } while (FindNextFileA(find.get(), &found));
  return names;
}

// DeleteFileA refuses a read-only file.
void RealFileSystem::RemoveFile(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileA(path.c_str())) Fail("remove", path);
}

}  // namespace tsl
