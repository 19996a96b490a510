#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/posix/environment.h"
#include "platform/posix/posix_io.h"
#include "platform/posix/replacement_steps.h"
#include "platform/real_file_system.h"

namespace tsl {

const char kPathSeparator = '/';

namespace {

[[noreturn]] void Fail(const std::string& operation, const std::string& path) {
  throw FileError(operation, path, ErrorText(errno));
}

// The bytes of the file just opened as `fd` (invalid, with errno set, when it could not
// be), no more than kLargestFileBytes of them.
std::string ReadOrFail(const UniqueFd& fd, const std::string& path) {
  std::string contents;
  if (!fd.valid() || !ReadAll(fd.get(), contents, kLargestFileBytes)) Fail("read", path);
  return contents;
}

}  // namespace

std::string SystemWindowsDirectory() { return EnvironmentOr("TESSALINE_WINDIR", "/etc"); }

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
  return ParentFolder(path);
}

// A hidden file on POSIX is one whose name starts with a dot.
bool RealFileSystem::FileExists(const std::string& path) const {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const std::string name = FileName(path);
  return !name.empty() && name.front() != '.';
}

std::string RealFileSystem::ReadWholeFile(const std::string& path) const {
  return ReadOrFail(OpenRegularFile(path, O_RDONLY), path);
}

// The one way a file that is not the program's own gets new bytes: a copy that keeps all
// it has takes its place, or, where none can, the bytes go into the file itself.
void RealFileSystem::WriteFileOver(const std::string& path, std::string_view contents) {
  ReplaceKeepingRights(path, contents, InPlace::kAllowed);
}

std::string RealFileSystem::ReadOwnFile(const std::string& path) const {
  return ReadOrFail(OpenRegularFileAt(AT_FDCWD, path, O_RDONLY), path);
}

// The copy is the caller's and never more readable than the file it copies.
void RealFileSystem::WriteCopyOf(const std::string& from, std::string_view contents,
                                 const std::string& to) {
  struct stat info {};
  if (::stat(from.c_str(), &info) != 0) Fail("read", from);
  ReplaceOwnFile(to, contents, info);
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
