#include "ui/cli.h"

#include <gtest/gtest.h>

#include <sstream>

#include "protection/real_file_system.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

class CliTest : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    return RunCommand(args, machine_, out_, err_);
  }
  std::string Hosts() const { return windows_.Join("hosts"); }

  testing::TempDir windows_;
  testing::TempDir app_;
  RealFileSystem files_{windows_.path()};
  testing::ScratchRegistry registry_;
  Machine machine_{files_, registry_, app_.path()};
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(CliTest, StatusPrintsTheFourLines) {
  testing::WriteBytes(Hosts(), "");
  RegistrySaveString(registry_, kHkeyLocalMachine, kSettingsKey, "Servers", "385");
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"status"}}) {
    EXPECT_EQ(Run(args), 0);
    EXPECT_EQ(out_.str(),
              "Your system has been analyzed and is ready to be protected.\n"
              "Activate: enabled\n"
              "TSL Version: 2.0.1\n"
              "Tracking servers blocked: 385\n");
    EXPECT_EQ(err_.str(), "");
  }
}

TEST_F(CliTest, ActivateAndDeactivateReportTheirStatus) {
  testing::WriteBytes(Hosts(), "original\n");
  testing::WriteBytes(app_.Join("data.dat"), "a.example\r\n");
  EXPECT_EQ(Run({"activate"}), 0);
  EXPECT_EQ(out_.str(), "Protection activated successfuly.\n");

  EXPECT_EQ(Run({"activate"}), 3) << "Activate is disabled once protection is on";
  EXPECT_EQ(err_.str(),
            "Activate is not available: Your system has been analyzed and is ready to be "
            "protected. However, it appears that TSL is already functioning on this computer.\n");
  EXPECT_EQ(out_.str(), "");

  EXPECT_EQ(Run({"deactivate"}), 0);
  EXPECT_EQ(out_.str(),
            "Protection turned-off successfuly. Your machine is now vulnerable to email bugs.\n");
  EXPECT_EQ(testing::ReadBytes(Hosts()), "original\n");
}

TEST_F(CliTest, DeactivateWithoutABackupIsNotAvailable) {
  testing::WriteBytes(Hosts(), "original\n");
  EXPECT_EQ(Run({"deactivate"}), 3);
  EXPECT_EQ(err_.str(),
            "An error occured while trying to restore your settings. Back-up file not found or is "
            "corrupted.\n");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(CliTest, OptionsAndUsageErrors) {
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(out_.str(), "tessaline 2.0.1\n");
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out_.str().find("usage: tessaline"), std::string::npos);
  EXPECT_EQ(Run({"activte"}), 2);
  EXPECT_NE(err_.str().find("usage: tessaline"), std::string::npos);
  EXPECT_EQ(Run({"status", "extra"}), 2);
  EXPECT_FALSE(testing::PathExists(app_.Join("host.bak"))) << "no command ran";
}

}  // namespace
}  // namespace tsl
