// Activation and deactivation against real files: a Windows directory and an application
// folder in temporary places, and a settings store of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protection/protection.h"
#include "platform/real_file_system.h"
#include "testsupport/test_machine.h"
#include "testsupport/test_support.h"
#include "protection/window_state.h"

namespace tsl::testing {

// Remembers, for each flush, what the hosts file and "Blocked" held at that moment.
class RecordingNameCache final : public NameCache {
 public:
  RecordingNameCache(const std::string& hosts_file, const RegistryHive& registry)
      : hosts_file_(hosts_file), registry_(registry) {}
  void Flush() override {
    flushes.push_back({ReadBytes(hosts_file_), RegistryGetString(registry_, kHkeyLocalMachine,
                                                                 kSettingsKey, "Blocked", "")});
  }

  struct Seen {
    std::string hosts;
    std::string blocked;
  };
  std::vector<Seen> flushes;

 private:
  const std::string& hosts_file_;
  const RegistryHive& registry_;
};

class ProtectionFixture : public ::testing::Test {
 protected:
  ProtectionFixture() { window_.command2_enabled = true; }

  std::string Blocked() const {
    return RegistryGetString(registry_, kHkeyLocalMachine, kSettingsKey, "Blocked", "");
  }
  void SetBlocked(std::string_view text) {
    RegistrySaveString(registry_, kHkeyLocalMachine, kSettingsKey, "Blocked", text);
  }
  void Activate() { ActivateProtection(machine_, hosts_, window_); }
  void Deactivate() { DeactivateProtection(machine_, hosts_, window_); }

  TempDir windows_;
  TempDir app_;
  RealFileSystem files_{windows_.path()};
  ScratchRegistry registry_;
  std::string hosts_ = windows_.Join("system32/drivers/etc/hosts");
  RecordingNameCache name_cache_{hosts_, registry_};
  Machine machine_ = testing::TestMachine(files_, registry_, app_.path(), name_cache_);
  WindowState window_;
  std::string backup_ = app_.Join("host.bak");
  std::string block_list_ = app_.Join("data.dat");
};

}  // namespace tsl::testing
