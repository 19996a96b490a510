#include <windows.h>

#include <stdexcept>

#include "testsupport/test_support.h"

namespace tsl::testing {

void MakeReadOnly(const std::string& path) {
  if (!SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY)) {
    throw std::runtime_error("SetFileAttributesA " + path);
  }
}

bool IsReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw std::runtime_error("GetFileAttributesA " + path);
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

void WriteLeftover(const std::string& path, const std::string& bytes) { WriteBytes(path, bytes); }

}  // namespace tsl::testing
