// Paths as the platform writes them: "\" between folders on Windows (which takes "/" as
// well), "/" on POSIX.
#pragma once

#include <string>
#include <string_view>

namespace tsl {

// "\" on Windows, "/" on POSIX.
extern const char kPathSeparator;

// The folder part of a path, without its final separator except at the root ("/", "\",
// "C:\"); "." for a bare name.
std::string ParentFolder(std::string_view path);

// The name part of a path, after its last separator.
std::string FileName(std::string_view path);

}  // namespace tsl
