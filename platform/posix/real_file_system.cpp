#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/real_file_system.h"
#include "platform/posix/posix_io.h"

namespace tsl {

const char kPathSeparator = '/';

namespace {

[[noreturn]] void Fail(const std::string& operation, const std::string& path) {
  throw FileError(operation, path, ErrorText(errno));
}

UniqueFd OpenOrFail(const std::string& operation, const std::string& path, int flags) {
  UniqueFd fd = OpenRegularFile(path, flags);
  if (!fd.valid()) Fail(operation, path);
  return fd;
}

void SyncOrFail(const UniqueFd& fd, const std::string& path) {
  if (::fsync(fd.get()) != 0) Fail("flush", path);
}

// The bytes of the file just opened as `fd` (invalid, with errno set, when it could not
// be), no more than kLargestFileBytes of them.
std::string ReadOrFail(const UniqueFd& fd, const std::string& path) {
  std::string contents;
  if (!fd.valid() || !ReadAll(fd.get(), contents, kLargestFileBytes)) Fail("read", path);
  return contents;
}

// The one way a file that is not the program's own gets new bytes: a copy that keeps all
// it has takes its place, or, where none can, the bytes go into the file itself.
void WriteOver(const std::string& to, std::string_view contents) {
  switch (ReplaceAtomically(to, contents)) {
    case ReplaceOutcome::kReplaced:
      return;
    case ReplaceOutcome::kFailed:
      Fail("write", to);
    case ReplaceOutcome::kInPlaceOnly:
      break;
  }
  const UniqueFd fd = OpenOrFail("write", to, O_WRONLY | O_CREAT | O_TRUNC);
  if (!WriteAll(fd.get(), contents)) Fail("write", to);
  SyncOrFail(fd, to);
}

}  // namespace

std::string SystemWindowsDirectory() {
  const char* directory = std::getenv("TESSALINE_WINDIR");
  return directory != nullptr && *directory != '\0' ? directory : "/etc";
}

std::string ExecutableFolder() {
  constexpr const char* kSelf = "/proc/self/exe";
  std::string path(256, '\0');
  while (true) {
    const ssize_t length = ::readlink(kSelf, path.data(), path.size());
    if (length < 0) throw FileError("find the folder of the program from", kSelf, ErrorText(errno));
    if (static_cast<size_t>(length) < path.size()) {
      path.resize(static_cast<size_t>(length));
      break;
    }
    path.resize(path.size() * 2);
  }
  if (path.empty() || path.front() != '/') {
    throw FileError("find the folder of the program from", kSelf, "not an absolute path");
  }
  return ParentDirectory(path);
}

// A hidden file on POSIX is one whose name starts with a dot.
bool RealFileSystem::FileExists(const std::string& path) const {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const std::string name = BaseName(path);
  return !name.empty() && name.front() != '.';
}

std::string RealFileSystem::ReadWholeFile(const std::string& path) const {
  return ReadOrFail(OpenRegularFile(path, O_RDONLY), path);
}

void RealFileSystem::WriteFileOver(const std::string& path, std::string_view contents) {
  WriteOver(path, contents);
}

std::string RealFileSystem::ReadOwnFile(const std::string& path) const {
  return ReadOrFail(OpenRegularFileAt(AT_FDCWD, path, O_RDONLY), path);
}

// The copy is the caller's and never more readable than the file it copies.
void RealFileSystem::WriteCopyOf(const std::string& from, std::string_view contents,
                                 const std::string& to) {
  struct stat info {};
  if (::stat(from.c_str(), &info) != 0) Fail("read", from);
  if (ReplaceOwnFile(to, contents, info) != ReplaceOutcome::kReplaced) Fail("write", to);
}

void RealFileSystem::RemoveTemporaryCopies(const std::string& path) {
  tsl::RemoveTemporaryCopies(path);
}

void RealFileSystem::RemoveTemporaryCopiesIn(const std::string& folder,
                                             const std::function<bool(std::string_view)>& of) {
  tsl::RemoveTemporaryCopiesIn(folder, of);
}

// POSIX has no read-only attribute of its own: the owner's write permission stands for it.
void RealFileSystem::SetAttributesNormal(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || ::chmod(path.c_str(), info.st_mode | S_IWUSR) != 0) {
    Fail("set the attributes of", path);
  }
}

std::vector<std::string> RealFileSystem::FileNames(const std::string& folder) const {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
  if (!listing) return names;
  while (const dirent* entry = ::readdir(listing.get())) {
    struct stat info {};
    std::string path = folder;
    path.append("/").append(entry->d_name);
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
      names.emplace_back(entry->d_name);
  }
  return names;
}

void RealFileSystem::RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) Fail("remove", path);
}

}  // namespace tsl
