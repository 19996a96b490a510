#include <windows.h>

#include <optional>
#include <string>

#include "platform/real_file_system.h"
#include "platform/temporary_name.h"
#include "platform/win32/ansi_path.h"
#include "platform/win32/busy_retry.h"
#include "platform/win32/handle.h"
#include "platform/win32/open_file.h"
#include "platform/win32/replacement_steps.h"

namespace tsl {

const char kPathSeparator = '\\';

namespace {

std::string ReadAllOrFail(const std::string& path, Links links) {
  const UniqueHandle file = OpenOrFail("read", path, GENERIC_READ, OPEN_EXISTING, links);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) FailFileStep("read", path, GetLastError());
  if (static_cast<std::uint64_t>(size.QuadPart) > kLargestFileBytes) {
    throw FileError("read", path, "too big");
  }
  std::string contents(static_cast<size_t>(size.QuadPart), '\0');
  size_t used = 0;
  while (used < contents.size()) {
    DWORD got = 0;
    if (!ReadFile(file.get(), contents.data() + used, static_cast<DWORD>(contents.size() - used),
                  &got, nullptr)) {
      FailFileStep("read", path, GetLastError());
    }
    if (got == 0) break;
    used += got;
  }
  contents.resize(used);
  return contents;
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
    if (length == 0) FailFileStep("find the folder of", kWhat, GetLastError());
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
  if (path->find('\\') == std::string::npos) {
    throw FileError("find the folder of", *path, "not a full path");
  }
  return ParentFolder(*path);
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
  ReplaceKeepingRights(path, contents);
}

std::string RealFileSystem::ReadOwnFile(const std::string& path) const {
  return ReadAllOrFail(path, Links::kRefuse);
}

// `to` is the backup; a link planted in its place is refused rather than replaced.
void RealFileSystem::WriteCopyOf(const std::string& /*from*/, std::string_view contents,
                                 const std::string& to) {
  ReplaceOwnFile(to, contents);
}

// Never while `path` itself is missing, when a copy may be the only one of it.
void RealFileSystem::RemoveTemporaryCopies(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  const std::string name = FileName(path);
  RemoveTemporaryCopiesIn(ParentFolder(path),
                          [&name](std::string_view original) { return original == name; });
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
  if (error != ERROR_SUCCESS) FailFileStep("set the attributes of", path, error);
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
  if (!DeleteFileA(path.c_str())) FailFileStep("remove", path, GetLastError());
}

}  // namespace tsl
