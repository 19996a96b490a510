#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/real_file_system.h"
#include "platform/temporary_name.h"
#include "platform/win32/ansi_path.h"
#include "platform/win32/busy_retry.h"
#include "platform/win32/error.h"
#include "platform/win32/handle.h"

namespace tsl {

const char kPathSeparator = '\\';

namespace {

// Every failure names the error of the call that failed, taken right after it.
[[noreturn]] void Fail(const std::string& operation, const std::string& path, DWORD error) {
  throw FileError(operation, path, SystemMessage(error));
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// How a step opens a file that someone else may have placed: the link itself, not what it
// points to, so that a planted link is seen and refused.
enum class Links { kFollow, kRefuse };

// A file on disk and nothing else (a pipe, a console, a device; with Links::kRefuse also a
// link or junction), opened once any other process that holds it lets it in.
UniqueHandle OpenOrFail(const std::string& operation, const std::string& path, DWORD access,
                        DWORD disposition, Links links = Links::kFollow) {
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
    if (!retry.Again(error)) Fail(operation, path, error);
  }
  if (GetFileType(handle.get()) != FILE_TYPE_DISK) {
    throw FileError(operation, path, "not a regular file");
  }
  if (links == Links::kRefuse) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle.get(), &information)) {
      Fail(operation, path, GetLastError());
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      throw FileError(operation, path, "a link, not a regular file");
    }
  }
  return handle;
}

void FlushOrFail(const UniqueHandle& handle, const std::string& path) {
  if (!FlushFileBuffers(handle.get())) Fail("flush", path, GetLastError());
}

void WriteAllOrFail(const UniqueHandle& file, const std::string& operation, const std::string& path,
                    std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1U << 30));
    DWORD put = 0;
    if (!WriteFile(file.get(), bytes.data(), chunk, &put, nullptr)) {
      Fail(operation, path, GetLastError());
    }
    bytes.remove_prefix(put);
  }
}

std::string ReadAllOrFail(const std::string& path, Links links) {
  const UniqueHandle file = OpenOrFail("read", path, GENERIC_READ, OPEN_EXISTING, links);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) Fail("read", path, GetLastError());
  if (static_cast<std::uint64_t>(size.QuadPart) > kLargestFileBytes) {
    throw FileError("read", path, "too big");
  }
  std::string contents(static_cast<size_t>(size.QuadPart), '\0');
  size_t used = 0;
  while (used < contents.size()) {
    DWORD got = 0;
    if (!ReadFile(file.get(), contents.data() + used, static_cast<DWORD>(contents.size() - used),
                  &got, nullptr)) {
      Fail("read", path, GetLastError());
    }
    if (got == 0) break;
    used += got;
  }
  contents.resize(used);
  return contents;
}

std::pair<std::string, std::string> SplitFolder(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return {".", path};
  return {path.substr(0, separator), path.substr(separator + 1)};
}

struct TemporaryCopy {
  std::string name;               // empty when the folder refused the new file
  DWORD refusal = ERROR_SUCCESS;  // why it refused
};

// A new file beside `to` with `contents`, on stable storage. A folder that refuses new
// files gives no copy and the reason, for the caller to decide.
TemporaryCopy WriteTemporaryCopy(const std::string& to, std::string_view contents) {
  for (unsigned attempt = 0;; ++attempt) {
    std::string temporary;
    if (!RandomTemporaryName(to, temporary)) Fail("name a copy of", to, GetLastError());
    // CREATE_NEW with the link flag never opens what a planted name points to.
    UniqueHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS && attempt < 100) continue;
      if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) return {"", error};
      Fail("write", temporary, error);
    }
    try {
      WriteAllOrFail(file, "write", temporary, contents);
      FlushOrFail(file, temporary);
    } catch (const FileError&) {
      file.reset();
      DeleteFileA(temporary.c_str());  // a copy that failed halfway, as on a full disk
      throw;
    }
    return {temporary, ERROR_SUCCESS};
  }
}

// Renames the copy over `to`, waiting for a holder of `to` to let go; the copy stays when
// the rename fails, for the caller to decide.
DWORD MoveIntoPlace(const std::string& temporary, const std::string& to) {
  return RetryWhileBusy([&] {
    return MoveFileExA(temporary.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  });
}

// A failed replacement while `to` is still there: the copy goes, `to` stays as it was.
[[noreturn]] void DiscardCopyAndFail(const std::string& temporary, const std::string& to,
                                     DWORD error) {
  DeleteFileA(temporary.c_str());
  Fail("replace", to, error);
}

void MoveIntoPlaceOrFail(const std::string& temporary, const std::string& to) {
  const DWORD error = MoveIntoPlace(temporary, to);
  if (error != ERROR_SUCCESS) DiscardCopyAndFail(temporary, to, error);
}

// Only for a folder that refuses new files: the bytes go into `to` itself.
void WriteInPlace(const std::string& to, std::string_view contents) {
  SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
  const UniqueHandle file = OpenOrFail("write", to, GENERIC_WRITE, OPEN_EXISTING);
  WriteAllOrFail(file, "write", to, contents);
  if (!SetEndOfFile(file.get())) Fail("write", to, GetLastError());
  FlushOrFail(file, to);
}

// Gives the copy the access rights of `to` (and its owner and group, where this process
// may), so that a rename keeps them. False when the rights could not be carried over.
bool CarryAccessRights(const std::string& to, const std::string& copy) {
  PSID owner = nullptr;
  PSID group = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(
          to.c_str(), SE_FILE_OBJECT,
          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          &owner, &group, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueLocalMemory owned(descriptor);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  const SECURITY_INFORMATION inheritance = (control & SE_DACL_PROTECTED) != 0
                                               ? PROTECTED_DACL_SECURITY_INFORMATION
                                               : UNPROTECTED_DACL_SECURITY_INFORMATION;
  char* const name = const_cast<char*>(copy.c_str());
  if (SetNamedSecurityInfoA(name, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr,
                            nullptr, dacl, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // Giving a file another owner takes a privilege an administrator may not hold; the
  // rights are what keep others out.
  SetNamedSecurityInfoA(name, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION, owner, group,
                        nullptr, nullptr);
  return true;
}

// Gives `to` the bytes: a flushed copy beside it, given the access rights of `to`, is
// renamed over it, so that at every instant `to` is its old file or the new one
// (ReplaceFileA may leave a moment with no file of that name). Where the rights cannot be
// carried over, ReplaceFileA puts the copy in place, keeping the security descriptor,
// attributes and streams of `to`. Another process that holds `to` (a scanner, an indexer,
// an editor) is waited for; one that does not let go within the wait fails the step with
// `to` as it was. Only a folder that refuses new files has the bytes written in place.
void ReplaceWithBytes(const std::string& to, std::string_view contents) {
  const TemporaryCopy copy = WriteTemporaryCopy(to, contents);
  if (copy.name.empty()) {
    WriteInPlace(to, contents);
    return;
  }
  if (CarryAccessRights(to, copy.name)) {
    MoveIntoPlaceOrFail(copy.name, to);
    return;
  }
  DWORD error = RetryWhileBusy([&] {
    return ReplaceFileA(to.c_str(), copy.name.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                        nullptr, nullptr);
  });
  if (error == ERROR_SUCCESS) return;
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
    // `to` has gone and the copy is the only one: it takes the name, or stays where it is.
    error = MoveIntoPlace(copy.name, to);
    if (error == ERROR_SUCCESS) return;
    throw FileError("replace", to,
                    SystemMessage(error) + "; its new bytes are in \"" + copy.name + "\"");
  }
  DiscardCopyAndFail(copy.name, to, error);
}

// An existing `path` that is a link, a junction or a folder is refused; a missing one is
// fine.
void RefuseLinkAt(const std::string& operation, const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    throw FileError(operation, path, "a link, not a regular file");
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw FileError(operation, path, "not a regular file");
  }
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
// The path is had in UTF-16 and used only where the ANSI code page carries it exactly.
std::string ExecutableFolder() {
  constexpr const char* kWhat = "the running program";
  constexpr size_t kLongestPath = 32768;
  std::wstring wide(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
    if (length == 0) Fail("find the folder of", kWhat, GetLastError());
    if (length < wide.size()) {
      wide.resize(length);
      break;
    }
    if (wide.size() >= kLongestPath) throw FileError("find the folder of", kWhat, "path too long");
    wide.resize(wide.size() * 2);
  }
  const std::optional<std::string> path = ExactAnsi(wide);
  if (!path) {
    throw FileError("find the folder of", kWhat,
                    "its path has characters that the system's code page cannot hold");
  }
  const size_t separator = path->find_last_of('\\');
  if (separator == std::string::npos) {
    throw FileError("find the folder of", *path, "not a full path");
  }
  // "C:\tessaline.exe" lives in "C:\", the one folder that keeps its separator.
  if (separator == 2 && (*path)[1] == ':') return path->substr(0, 3);
  return path->substr(0, separator);
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
  return ReadAllOrFail(path, Links::kFollow);
}

void RealFileSystem::WriteFileOver(const std::string& path, std::string_view contents) {
  ReplaceWithBytes(path, contents);
}

std::string RealFileSystem::ReadOwnFile(const std::string& path) const {
  return ReadAllOrFail(path, Links::kRefuse);
}

// `to` is the backup; a link planted in its place is refused rather than replaced.
void RealFileSystem::WriteCopyOf(const std::string& /*from*/, std::string_view contents,
                                 const std::string& to) {
  RefuseLinkAt("write", to);
  const TemporaryCopy copy = WriteTemporaryCopy(to, contents);
  if (copy.name.empty()) Fail("write", to, copy.refusal);
  // A read-only backup (an earlier one may have been) is replaced all the same.
  SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
  MoveIntoPlaceOrFail(copy.name, to);
}

// Never while `path` itself is missing, when a copy may be the only one of it.
void RealFileSystem::RemoveTemporaryCopies(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  const auto [folder, name] = SplitFolder(path);
  RemoveTemporaryCopiesIn(folder,
                          [&name = name](std::string_view original) { return original == name; });
}

// Only what this program makes goes: a plain file of the temporary name, never a link, a
// folder or a read-only file (a copy is never made read-only).
void RealFileSystem::RemoveTemporaryCopiesIn(const std::string& folder,
                                             const std::function<bool(std::string_view)>& of) {
  WIN32_FIND_DATAA found{};
  const UniqueFindHandle find(
      FindFirstFileA((folder + "\\*" + std::string(kTemporaryMark) + "*").c_str(), &found));
  if (!find.valid()) return;
  constexpr DWORD kNeverOurs =
      FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
  do {
    const std::string_view original = TemporaryCopyOriginal(found.cFileName);
    if (original.empty() || !of(original)) continue;
    if ((found.dwFileAttributes & kNeverOurs) != 0) continue;
    DeleteFileA((folder + "\\" + found.cFileName).c_str());
  } while (FindNextFileA(find.get(), &found));
}

void RealFileSystem::SetAttributesNormal(const std::string& path) {
  const DWORD error =
      RetryWhileBusy([&] { return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); });
  if (error != ERROR_SUCCESS) Fail("set the attributes of", path, error);
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
  if (!DeleteFileA(path.c_str())) Fail("remove", path, GetLastError());
}

}  // namespace tsl
