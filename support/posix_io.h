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

}  // namespace tsl
