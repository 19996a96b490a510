#include "testsupport/test_machine.h"
#include "ui/form_load.h"

#include <gtest/gtest.h>

#include <optional>

#include "build_facts.h"
#include "protection/window_texts.h"

namespace tsl {
namespace {

class FormLoadTest : public ::testing::Test, public testing::TempMachine {
 protected:
  void Load() { Form_Load(machine, hosts_file_, window); }
  void Set(std::string_view name, const RegistryValue& value) {
    registry.Write(kHkeyLocalMachine, kSettingsKey, name, value);
  }

  std::string hosts_file_;
};

// "Already functioning" needs both the recorded state and a block section in the hosts
// file; either alone shows the state that is off.
TEST_F(FormLoadTest, TheFourStartUpStatesWithAndWithoutASection) {
  const std::string section = "x\r\n\r\n#email snoop protection \r\n127.0.0.1     a\r\n\r\n";
  const std::string cleaned = "x\r\n#email snoop protection \r\n\r\n";  // entries taken out
  const struct {
    std::string status;
    std::optional<std::string> hosts;
    bool blocked;
    bool activate;
  } states[] = {
      {std::string(kReadyToProtect), "", false, true},
      {std::string(kReadyToProtect), section, false, true},
      {std::string(kReadyToProtect) + std::string(kAlreadyFunctioning), section, true, false},
      {std::string(kReadyToProtect), "", true, true},
      {std::string(kReadyToProtect), cleaned, true, true},
      {std::string(kLabel3Created), std::nullopt, false, false},
      {std::string(kLabel3Created), std::nullopt, true, false},
  };
  for (const auto& state : states) {
    SCOPED_TRACE(state.hosts.value_or("no hosts file") + (state.blocked ? ", blocked" : ""));
    testing::TempMachine rig;
    if (state.hosts) testing::WriteBytes(rig.hosts, *state.hosts);
    if (state.blocked) rig.SetBlocked("1");
    std::string hosts_file;
    Form_Load(rig.machine, hosts_file, rig.window);

    EXPECT_EQ(rig.window.Caption(Label::Label3), state.status);
    EXPECT_EQ(rig.window.command2_enabled, state.activate) << state.status;
    EXPECT_EQ(hosts_file, state.hosts ? rig.hosts : "");
    EXPECT_EQ(rig.window.Caption(Label::Label1),
              std::string(kVersionCaption) + TSL_DISPLAY_VERSION);
    EXPECT_EQ(rig.window.Caption(Label::Label2), kServersCaption);
  }
}

TEST_F(FormLoadTest, OnlyTheExactTextOneMeansBlocked) {
  testing::WriteBytes(hosts, "\r\n#email snoop protection \r\n\r\n");
  for (const RegistryValue& blocked :
       {RegistryValue{kRegSz, std::string("0\0", 2)}, RegistryValue{kRegSz, std::string("1 \0", 3)},
        RegistryValue{kRegSz, std::string(" 1\0", 3)},
        RegistryValue{kRegExpandSz, std::string("1\0", 2)},
        RegistryValue{kRegDword, std::string("\1\0\0\0", 4)}}) {
    Set(kBlockedValue, blocked);
    WindowState window;
    Form_Load(machine, hosts_file_, window);
    EXPECT_EQ(window.Caption(Label::Label3), kReadyToProtect);
    EXPECT_TRUE(window.command2_enabled);
  }
}

TEST_F(FormLoadTest, TheServersCountIsShownUnchanged) {
  RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kServersValue, "42");
  Load();
  EXPECT_EQ(window.Caption(Label::Label2), std::string(kServersCaption) + "42");
}

}  // namespace
}  // namespace tsl
