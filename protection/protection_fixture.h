// Activation and deactivation against real files: a Windows directory and an application
// folder in temporary places, and a settings store of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "protection/protection.h"
#include "protection/real_file_system.h"
#include "testsupport/test_support.h"
#include "ui/window_state.h"

namespace tsl::testing {

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
  Machine machine_{files_, registry_, app_.path()};
  WindowState window_;
  std::string hosts_ = windows_.Join("system32/drivers/etc/hosts");
  std::string backup_ = app_.Join("host.bak");
  std::string block_list_ = app_.Join("data.dat");
};

}  // namespace tsl::testing
