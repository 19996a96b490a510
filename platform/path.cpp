#include "platform/path.h"

namespace tsl {
namespace {

// Where the last separator stands, npos for a bare name.
std::size_t LastSeparator(std::string_view path) {
  return path.find_last_of(std::string{kPathSeparator, '/'});
}

}  // namespace

std::string ParentFolder(std::string_view path) {
  const std::size_t separator = LastSeparator(path);
  if (separator == std::string_view::npos) return ".";
  const bool root = separator == 0 || (separator == 2 && path[1] == ':');
  return std::string(path.substr(0, root ? separator + 1 : separator));
}

std::string FileName(std::string_view path) {
  const std::size_t separator = LastSeparator(path);
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

}  // namespace tsl
