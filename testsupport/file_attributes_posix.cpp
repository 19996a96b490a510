#include <sys/stat.h>

#include <stdexcept>

#include "testsupport/test_support.h"

namespace tsl::testing {

void MakeReadOnly(const std::string& path) {
  if (::chmod(path.c_str(), 0444) != 0) throw std::runtime_error("chmod " + path);
}

bool IsReadOnly(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) throw std::runtime_error("stat " + path);
  return (info.st_mode & S_IWUSR) == 0;
}

void WriteLeftover(const std::string& path, const std::string& bytes) {
  WriteBytes(path, bytes);
  if (::chmod(path.c_str(), 0600) != 0) throw std::runtime_error("chmod " + path);
}

}  // namespace tsl::testing
