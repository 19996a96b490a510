#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/properties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (!tsl::BlockSectionFollowsTheLineRule(input) || !tsl::BlockSectionsComeOutWhole(input)) {
    std::abort();
  }
  return 0;
}
