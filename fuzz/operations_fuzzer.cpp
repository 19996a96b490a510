#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/properties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!tsl::OperationsKeepTheHostsFileTrue(
          std::string_view(reinterpret_cast<const char*>(data), size))) {
    std::abort();
  }
  return 0;
}
