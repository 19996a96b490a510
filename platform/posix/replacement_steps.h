// The two ways a file is replaced on POSIX, both through ReplaceAtomically
// (platform/atomic_replace.h). Each throws FileError naming `path`.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "platform/atomic_replace.h"

namespace tsl {

// The file that `path` names (a symbolic link's target, which the link keeps pointing at)
// gets the bytes; the new file keeps the owner, group, permissions and extended attributes
// (POSIX ACLs, security labels, capabilities) of the one it replaces, 0644 when there was
// none. Where a copy cannot keep them all -- the folder refuses it or the rename, the file
// has other hard links, an attribute cannot be given -- the bytes go in place if `in_place`
// allows.
void ReplaceKeepingRights(const std::string& path, std::string_view contents, InPlace in_place);

// A file of the program's own, made from the file `like` describes: it is the caller's,
// writable by no one else, and readable by its group or others only where `like` is, so
// never more readable than that file. A symbolic link or non-regular file at `path` is
// refused; never in place.
void ReplaceOwnFile(const std::string& path, std::string_view contents, const struct stat& like);

}  // namespace tsl
