// Whole-buffer reads and writes on POSIX file descriptors, links followed by hand, and the
// removal of the copies that interrupted replacements left.
#pragma once

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

}  // namespace tsl
