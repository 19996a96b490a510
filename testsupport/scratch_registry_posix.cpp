#include "platform/posix/registry_file.h"
#include "testsupport/test_support.h"

namespace tsl::testing {

struct ScratchRegistry::Place {
  TempDir folder;
};

ScratchRegistry::ScratchRegistry()
    : place_(std::make_unique<Place>()),
      hive_(std::make_unique<RegistryFile>(place_->folder.Join("registry.reg"))) {}

ScratchRegistry::~ScratchRegistry() = default;

std::string ScratchRegistry::Redirect(std::string_view key) const { return std::string(key); }

}  // namespace tsl::testing
