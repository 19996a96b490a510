#include "testsupport/test_machine.h"
#include "ui/cli.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string_view>
#include <utility>

#include "build_facts.h"
#include "protection/window_texts.h"

namespace tsl {
namespace {

class CliTest : public ::testing::Test, public testing::TempMachine {
 protected:
  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    return RunCommand(args, machine, out_, err_);
  }
  std::ostringstream out_;
  std::ostringstream err_;
};

// What `status` prints where the hosts file is found and protection is off.
std::string ReadyStatus(std::string_view servers) {
  return std::string(kReadyToProtect) + "\n" + std::string(kActivateEnabled) + "\n" +
         std::string(kVersionCaption) + TSL_DISPLAY_VERSION "\n" + std::string(kServersCaption) +
         std::string(servers) + "\n";
}

TEST_F(CliTest, StatusPrintsTheFourLines) {
  testing::WriteBytes(hosts, "");
  RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kServersValue, "385");
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"status"}}) {
    EXPECT_EQ(Run(args), 0);
    EXPECT_EQ(out_.str(), ReadyStatus("385"));
    EXPECT_EQ(err_.str(), "");
  }
}

TEST_F(CliTest, ActivateAndDeactivateReportTheirStatus) {
  testing::WriteBytes(hosts, "original\n");
  testing::WriteBytes(app.Join("data.dat"), "a.example\r\n");
  EXPECT_EQ(Run({"activate"}), 0);
  EXPECT_EQ(out_.str(), std::string(kActivated) + "\n");

  EXPECT_EQ(Run({"activate"}), 3) << "Activate is disabled once protection is on";
  EXPECT_EQ(err_.str(), std::string(kActivateNotAvailable) + std::string(kReadyToProtect) +
                            std::string(kAlreadyFunctioning) + "\n");
  EXPECT_EQ(out_.str(), "");

  EXPECT_EQ(Run({"deactivate"}), 0);
  EXPECT_EQ(out_.str(), std::string(kDeactivated) + "\n");
  EXPECT_EQ(testing::ReadBytes(hosts), "original\n");
}

// One word on one line, and a status that says "on" or not, in each start-up state.
TEST_F(CliTest, StatePrintsOneWordAndSaysOnlyOnByStatusZero) {
  EXPECT_EQ(Run({"state"}), 4);
  EXPECT_EQ(out_.str(), "no-hosts-file\n");
  testing::WriteBytes(hosts, "original\n");
  EXPECT_EQ(Run({"state"}), 4);
  EXPECT_EQ(out_.str(), "off\n");
  testing::WriteBytes(app.Join("data.dat"), "a.example\r\n");
  ASSERT_EQ(Run({"activate"}), 0);
  EXPECT_EQ(Run({"state"}), 0);
  EXPECT_EQ(out_.str(), "on\n");
  RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "");  // lost
  EXPECT_EQ(Run({"state"}), 4);
  EXPECT_EQ(out_.str(), "unrecorded\n");
  RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "1");
  testing::WriteBytes(hosts, "original\n");  // another program cleaned the hosts file
  EXPECT_EQ(Run({"state"}), 4);
  EXPECT_EQ(out_.str(), "section-missing\n");
  EXPECT_EQ(err_.str(), "");

  // A store that cannot be read is said so, never guessed at.
  testing::RefusingRegistry unreadable(registry, true);
  const Machine refused = testing::TestMachine(files, unreadable, app.path());
  for (const char* command : {"state", "status"}) {
    out_.str("");
    err_.str("");
    EXPECT_EQ(RunCommand({command}, refused, out_, err_), 1) << command;
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str(), "tessaline: Could not read the settings in the store: refused\n");
  }
}

TEST_F(CliTest, RefreshBlocksTheCurrentListAndKeepsTheWayBack) {
  testing::WriteBytes(hosts, "original\r\n");
  testing::WriteBytes(app.Join("data.dat"), "a.example\r\n");
  ASSERT_EQ(Run({"activate"}), 0);
  testing::WriteBytes(app.Join("data.dat"), "b.example\r\nc.example\r\n");
  EXPECT_EQ(Run({"refresh"}), 0);
  EXPECT_EQ(out_.str(), std::string(kActivated) + "\n");
  EXPECT_EQ(err_.str(), "");
  const std::string activated = testing::ReadBytes(hosts);
  for (const char* entry : {"\r\n127.0.0.1     b.example\r\n", "\r\n127.0.0.1     c.example\r\n"}) {
    EXPECT_NE(activated.find(entry), std::string::npos) << entry;
  }
  EXPECT_EQ(RegistryGetString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, ""), "1");
  EXPECT_EQ(testing::ReadBytes(app.Join("host.bak")), "original\r\n");
  EXPECT_EQ(Run({"state"}), 0);
  EXPECT_EQ(Run({"deactivate"}), 0);
  EXPECT_EQ(testing::ReadBytes(hosts), "original\r\n");
}

// Refresh never turns protection on: off, or recorded with the section gone, it changes
// nothing.
TEST_F(CliTest, RefreshWhileProtectionIsNotOnChangesNothing) {
  testing::WriteBytes(hosts, "original\r\n");
  testing::WriteBytes(app.Join("data.dat"), "a.example\r\n");
  for (const char* blocked : {"0", "1"}) {
    RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, blocked);
    EXPECT_EQ(Run({"refresh"}), 4) << blocked;
    EXPECT_EQ(err_.str(), std::string(kNothingToRefresh) + "\n");
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(testing::ReadBytes(hosts), "original\r\n");
    EXPECT_FALSE(testing::PathExists(app.Join("host.bak")));
    EXPECT_EQ(RegistryGetString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, ""),
              blocked);
  }
}

TEST_F(CliTest, DeactivateWithoutABackupIsNotAvailable) {
  testing::WriteBytes(hosts, "original\n");
  EXPECT_EQ(Run({"deactivate"}), 3);
  EXPECT_EQ(err_.str(), std::string(kNoBackup) + "\n");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(CliTest, OptionsAndUsageErrors) {
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(out_.str(), "tessaline " TSL_DISPLAY_VERSION "\n");
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out_.str().find("usage: tessaline"), std::string::npos);
  for (const char* command : {"  state ", "  refresh "}) {
    EXPECT_NE(out_.str().find(command), std::string::npos) << command;
  }
  EXPECT_EQ(Run({"activte"}), 2);
  EXPECT_NE(err_.str().find("usage: tessaline"), std::string::npos);
  EXPECT_EQ(Run({"status", "extra"}), 2);
  EXPECT_EQ(Run({"refresh", "now"}), 2);
  EXPECT_FALSE(testing::PathExists(app.Join("host.bak"))) << "no command ran";
}

TEST_F(CliTest, ControlCharactersReachTheTerminalEscaped) {
  testing::WriteBytes(hosts, "");
  RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kServersValue,
                     "385\n\x1b[31mfake line\x7f\t");
  EXPECT_EQ(Run({"status"}), 0);
  EXPECT_EQ(out_.str(), ReadyStatus("385\\n\\x1b[31mfake line\\x7f\\t"));

  // C1 controls (a CSI on 8-bit terminals) and bidi marks, as bare bytes or in UTF-8, are
  // escaped; other UTF-8 stays readable.
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"a\x9b[31mb", "a\\x9b[31mb"},
      {"a\xc2\x9b[31mb", "a\\u009b[31mb"},
      {"\xc2\x80\xc2\x9f", "\\u0080\\u009f"},
      {"evil\xe2\x80\xaetxt.exe", "evil\\u202etxt.exe"},
      {"\xd8\x9c\xe2\x80\x8e\xe2\x80\x8f\xe2\x80\xaa\xe2\x81\xa6\xe2\x81\xa9",
       "\\u061c\\u200e\\u200f\\u202a\\u2066\\u2069"},
      {"\xce\xa9 \xe6\xbc\xa2\xe5\xad\x97 \xf0\x9f\x94\x92 \xc2\xa0",
       "\xce\xa9 \xe6\xbc\xa2\xe5\xad\x97 \xf0\x9f\x94\x92 \xc2\xa0"},
      {"\xc0\x9b \xe0\x82\x9b", "\\xc0\\x9b \\xe0\\x82\\x9b"},  // overlong forms of 0x9b
      {"\xed\xa0\x80 \xf4\x90\x80\x80", "\\xed\\xa0\\x80 \\xf4\\x90\\x80\\x80"},
      {"cut \xe2\x80", "cut \\xe2\\x80"},
  };
  for (const auto& [raw, shown] : cases) {
    EXPECT_EQ(Printable(raw), shown) << raw;
  }
}

TEST_F(CliTest, EveryFailureIsOneLineAndStatusOne) {
  testing::WriteBytes(hosts, "original\n");
  testing::WriteBytes(app.Join("data.dat"), "a.example\r\n");
  testing::RefusingRegistry unwritable(registry);
  const Machine refused = testing::TestMachine(files, unwritable, app.path());
  EXPECT_EQ(RunCommand({"activate"}, refused, out_, err_), 1);
  EXPECT_EQ(out_.str(), "") << "no success is reported";
  EXPECT_EQ(err_.str(), "tessaline: Could not record \"Blocked\" in the store: refused\n");
  EXPECT_EQ(testing::ReadBytes(app.Join("host.bak")), "original\n");

  err_.str("");
  const std::string odd_path = app.Join("odd\x1b]0;title\x07");
  EXPECT_EQ(ReportingFailures(err_, [&]() -> int { throw FileError("read", odd_path, "x"); }), 1);
  EXPECT_EQ(err_.str(),
            "tessaline: Could not read \"" + app.Join("odd") + "\\x1b]0;title\\x07\": x\n");
  err_.str("");
  EXPECT_EQ(ReportingFailures(err_, []() -> int { throw 42; }), 1);
  EXPECT_EQ(err_.str(), "tessaline: " + std::string(kUnexpectedFailure) + "\n");
}

}  // namespace
}  // namespace tsl
