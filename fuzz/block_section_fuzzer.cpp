#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/properties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!tsl::BlockSectionFollowsTheLineRule({reinterpret_cast<const char*>(data), size})) {
    std::abort();
  }
  return 0;
}
