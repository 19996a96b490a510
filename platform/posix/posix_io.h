// Whole-buffer reads and writes on POSIX file descriptors, and whole-file replacement.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "platform/unique_resource.h"

namespace tsl {

struct FdTraits {
  using Handle = int;
  static Handle Invalid() { return -1; }
  static void Close(Handle fd);
};
using UniqueFd = UniqueResource<FdTraits>;

// errno values for refusals that POSIX has no code of its own for.
inline constexpr int kNotRegularFile = 0x7453;    // a folder, a FIFO, a device
inline constexpr int kSymbolicLink = 0x7454;      // where no link may stand
inline constexpr int kOtherUsersFile = 0x7455;    // owned by a user other than the caller
inline constexpr int kOpenToOtherUsers = 0x7456;  // others may write it (or open it, for a lock)
inline constexpr int kTooBig = 0x7457;            // more bytes than the reader takes

// The system's words for an errno value, the ones above included.
std::string ErrorText(int error);

// Opens a regular file, following symbolic links, and refuses anything else at once: a
// FIFO or device is never waited on or read without bound. Returns an invalid descriptor
// with errno set on failure.
UniqueFd OpenRegularFile(const std::string& path, int flags);

// The same for a file that must not be a symbolic link (errno kSymbolicLink), opened
// relative to the folder `directory`; a file it creates gets mode 0600.
UniqueFd OpenRegularFileAt(int directory, const std::string& name, int flags);

// Each returns false with errno set when the system refuses; a short count is retried.
// ReadAll reads no more than `limit` bytes: a longer file is kTooBig.
bool ReadAll(int fd, std::string& out,
             std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());
bool WriteAll(int fd, std::string_view data);

// The folder part of a path: "." for a bare name, "/" at the root.
std::string ParentDirectory(const std::string& path);
// The name part of a path, after its last slash.
std::string BaseName(const std::string& path);

// The path that a chain of symbolic links ends at (the path itself when it is no link),
// whether or not that file exists. Returns false with errno set for a loop.
bool FollowLinks(const std::string& path, std::string& target);

// Removes the temporary copies that interrupted replacements left in `folder`: the regular
// files (never links or folders) named as a temporary copy of a name that `of` accepts and
// owned by the caller, whatever mode they had reached when the run was killed.
void RemoveTemporaryCopiesIn(const std::string& folder,
                             const std::function<bool(std::string_view)>& of);
// The same for the copies of the one file `path` names (a symbolic link's target).
void RemoveTemporaryCopies(const std::string& path);

enum class ReplaceOutcome {
  kReplaced,
  // The copy cannot take the file's place whole: the folder would not take a new file or
  // the rename, the file has other hard links, or it has extended attributes (ACLs,
  // security labels, capabilities) that the copy cannot be given. Nothing changed.
  kInPlaceOnly,
  kFailed,  // a read, write or flush failed (a full disk), or a link stood there; nothing changed
};

// Writes a temporary file beside the file that `path` names (a symbolic link's target,
// which the link keeps pointing at), flushes it and renames it over that file, so that a
// reader sees either the old file or the new one, never a part. The new file keeps the
// owner, group, permissions and extended attributes of the one it replaces (0644 when new).
// errno tells why a replacement failed.
ReplaceOutcome ReplaceAtomically(const std::string& path, std::string_view contents);

// The same for a file of the program's own, made from the file `like` describes: it is the
// caller's, writable by no one else, and readable by its group or others only where `like`
// is, so never more readable than that file. A symbolic link or non-regular file at `path`
// is refused.
ReplaceOutcome ReplaceOwnFile(const std::string& path, std::string_view contents,
                              const struct stat& like);

}  // namespace tsl
