#include <windows.h>

#include <atomic>

#include "testsupport/test_support.h"

namespace tsl::testing {

struct ScratchRegistry::Place {
  std::string key;
};

ScratchRegistry::ScratchRegistry()
    : place_(std::make_unique<Place>()), hive_(OpenSystemRegistry()) {
  static std::atomic<int> counter{0};
  place_->key = "SOFTWARE\\TessalineTests\\" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(counter++);
}

std::string ScratchRegistry::Redirect(std::string_view key) const {
  return place_->key + "\\" + std::string(key);
}

ScratchRegistry::~ScratchRegistry() {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, place_->key.c_str());
  RegDeleteTreeA(HKEY_CURRENT_USER, place_->key.c_str());
}

}  // namespace tsl::testing
