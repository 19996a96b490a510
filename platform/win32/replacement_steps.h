// The two ways a file is replaced on Windows, both through ReplaceAtomically
// (platform/atomic_replace.h). Another process that holds the file (a scanner, an indexer,
// an editor) is waited for; one that does not let go within the wait fails the step with
// the file as it was. Each throws FileError naming `path`.
#pragma once

#include <string>
#include <string_view>

namespace tsl {

// The copy, given the access rights of `path`, is renamed over it, so that at every instant
// it is its old file or the new one; where the rights cannot be carried over, ReplaceFileA
// puts the copy in place, keeping the security descriptor, attributes and streams of the
// file (and may leave a moment with no file of that name). Only a folder that refuses new
// files has the bytes written in place.
void ReplaceKeepingRights(const std::string& path, std::string_view contents);

// A file of the program's own: a link, a junction or a folder in its place is refused, a
// missing file is fine; the new file has the rights the folder gives a new file, and
// replaces a read-only one (an earlier version may have made it so) all the same. Never in
// place.
void ReplaceOwnFile(const std::string& path, std::string_view contents);

}  // namespace tsl
