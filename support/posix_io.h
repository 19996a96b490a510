// Whole-buffer reads and writes on POSIX file descriptors.
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

// Each returns false with errno set when the system refuses; a short count is retried.
bool ReadAll(int fd, std::string& out);
bool WriteAll(int fd, std::string_view data);

// The folder part of a path: "." for a bare name, "/" at the root.
std::string ParentDirectory(const std::string& path);

// Writes a temporary file beside `path`, flushes it and renames it over `path`, so that a
// reader sees either the old file or the new one, never a part. The file keeps the
// permissions of the one it replaces (0644 when new).
bool ReplaceAtomically(const std::string& path, std::string_view contents);

}  // namespace tsl
