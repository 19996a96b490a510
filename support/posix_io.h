// Whole-buffer reads and writes on POSIX file descriptors, and whole-file replacement.
#pragma once

#include <string>
#include <string_view>

#include "support/unique_resource.h"

namespace tsl {

struct FdTraits {
  using Handle = int;
  static Handle Invalid() { return -1; }
  static void Close(Handle fd);
};
using UniqueFd = UniqueResource<FdTraits>;

// The errno value that stands for "not a regular file" (a folder, a FIFO, a device), which
// POSIX has no code of its own for.
inline constexpr int kNotRegularFile = 0x7453;

// The system's words for an errno value, kNotRegularFile included.
std::string ErrorText(int error);

// Opens a regular file, following symbolic links, and refuses anything else at once: a
// FIFO or device is never waited on or read without bound. Returns an invalid descriptor
// with errno set on failure.
UniqueFd OpenRegularFile(const std::string& path, int flags);

// Each returns false with errno set when the system refuses; a short count is retried.
bool ReadAll(int fd, std::string& out);
bool WriteAll(int fd, std::string_view data);

// The folder part of a path: "." for a bare name, "/" at the root.
std::string ParentDirectory(const std::string& path);

// The path that a chain of symbolic links ends at (the path itself when it is no link),
// whether or not that file exists. Returns false with errno set for a loop.
bool FollowLinks(const std::string& path, std::string& target);

// Removes the temporary copies that an interrupted replacement of `path` left behind.
void RemoveTemporaryCopies(const std::string& path);

enum class ReplaceOutcome {
  kReplaced,
  kFolderRefused,  // the folder would not take a new file or the rename; nothing changed
  kFailed,         // a read, write or flush failed (a full disk); nothing changed
};

// Writes a temporary file beside the file that `path` names (a symbolic link's target,
// which the link keeps pointing at), flushes it and renames it over that file, so that a
// reader sees either the old file or the new one, never a part. The new file keeps the
// owner, group and permissions of the one it replaces (0644 when new). errno tells why a
// replacement failed.
ReplaceOutcome ReplaceAtomically(const std::string& path, std::string_view contents);

}  // namespace tsl
