// The Windows Installer package under Wine's msiexec, in a fresh prefix: one table of cases,
// each a state to start from, one msiexec command, its status and log, and what the
// machine then holds.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/real_file_system.h"
#include "platform/win32/handle.h"
#include "protection/window_texts.h"
#include "resources/version.h"
#include "settings/registry.h"
#include "testsupport/exit_status_win32.h"
#include "testsupport/test_machine.h"
#include "testsupport/test_support.h"
#include "text/block_section.h"
#include "ui/form_load.h"

namespace tsl {
namespace {

constexpr std::string_view kSetupUninstallKey = TSL_UNINSTALL_KEY;
constexpr std::string_view kPolicyKey = TSL_POLICY_KEY;
constexpr std::string_view kNextPackage = "installer\\next-list\\tessaline-next.msi";
std::string Package() { return "tessaline-" + VersionText() + "-x64.msi"; }
std::string SetupProgram() { return "tessaline-setup-" + VersionText() + ".exe"; }

// The version of the later package the upgrade tests install.
std::string NextVersion() {
  return std::to_string(TSL_VERSION_MAJOR) + "." + std::to_string(TSL_VERSION_MINOR) + "." +
         std::to_string(TSL_VERSION_REVISION + 1);
}

// A package's ProductCode property, read from its Property table.
std::string ProductCodeOf(const std::string& package) {
  MSIHANDLE database = 0;
  EXPECT_EQ(MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY, &database), ERROR_SUCCESS);
  MSIHANDLE view = 0;
  MsiDatabaseOpenViewA(database, "SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'",
                       &view);
  MsiViewExecute(view, 0);
  MSIHANDLE record = 0;
  MsiViewFetch(view, &record);
  char code[39] = {};
  DWORD size = sizeof code;
  MsiRecordGetStringA(record, 1, code, &size);
  for (const MSIHANDLE handle : {record, view, database}) MsiCloseHandle(handle);
  return code;
}

struct Outcome {
  DWORD status;
  std::string log;
};

// msiexec, silent, with a verbose log: its status and what it logged.
Outcome Msiexec(const std::string& arguments) {
  const testing::TempDir folder;
  const std::string log = folder.Join("msiexec.log");
  const DWORD status = testing::RunAndWait("msiexec " + arguments + " /qn /l*v \"" + log + "\"");
  return {status, testing::PathExists(log) ? testing::ReadBytes(log) : ""};
}

// What the package's actions and launch conditions logged, for a failure's message.
std::string Said(const std::string& log) {
  std::string said;
  for (std::size_t start = 0; start < log.size();) {
    const std::size_t end = std::min(log.find('\n', start), log.size());
    const std::string line = log.substr(start, end - start);
    if (line.find("Tessaline") != std::string::npos) said += line + "\n";
    start = end + 1;
  }
  return said;
}

class Machine;
struct Case;
void PrintTo(const Case& test, std::ostream* out);
struct Case {
  const char* name;
  std::function<void(Machine&)> before;
  std::function<std::string(Machine&)> command;  // msiexec's arguments
  bool hosts_held;  // another program holds the hosts file while msiexec runs
  DWORD status;
  const char* log_says;  // text the log holds, or nullptr
  std::function<void(Machine&)> after;
};

class Machine : public ::testing::TestWithParam<Case> {
 protected:
  void TearDown() override {
    // Wine does not register the product again when a removal rolls back, as Windows does:
    // a repair registers what is still installed, so that it can be removed.
    if (MsiProduct().empty() && SetupProgramFolder().empty() && Installed("tessaline-cli.exe")) {
      Msiexec("/i " + Package());
    }
    if (!MsiProduct().empty()) Msiexec("/x " + MsiProduct());
    if (!SetupProgramFolder().empty()) RemoveSetupProgram();
    testing::WriteBytes(hosts_, original_hosts_);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, std::string(kPolicyKey).c_str(), KEY_WOW64_64KEY, 0);
    RegistrySaveString(*registry_, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "0");
    std::remove((folder_ + "\\host.bak").c_str());
  }

 public:
  // The installed product of the package's upgrade code, or "".
  static std::string MsiProduct() {
    char code[39] = {};
    return MsiEnumRelatedProductsA(TSL_MSI_UPGRADE_CODE, 0, 0, code) == ERROR_SUCCESS ? code : "";
  }
  static std::string ProductVersion() {
    char version[32] = {};
    DWORD size = sizeof version;
    MsiGetProductInfoA(MsiProduct().c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &size);
    return version;
  }
  std::string Setting(std::string_view name) const {
    return RegistryGetString(*registry_, kHkeyLocalMachine, kSettingsKey, name, "");
  }
  std::string SetupProgramFolder() const {
    return RegistryGetString(*registry_, kHkeyLocalMachine, kSetupUninstallKey, "InstallLocation",
                             "");
  }
  void RemoveSetupProgram() const {
    const std::string folder = SetupProgramFolder();
    EXPECT_EQ(testing::RunAndWait("\"" + folder + "\\uninstall.exe\" /S _?=" + folder), 0U);
    std::remove((folder + "\\uninstall.exe").c_str());
    RemoveDirectoryA(folder.c_str());
  }
  void Install(const std::string& arguments = "") const {
    ASSERT_EQ(Msiexec("/i " + Package() + " " + arguments).status, 0U);
  }
  DWORD Cli(const std::string& command) const {
    return testing::RunAndWait("\"" + folder_ + "\\tessaline-cli.exe\" " + command);
  }
  std::string Hosts() const { return testing::ReadBytes(hosts_); }
  bool HoldsEntriesOf(const std::string& list) const {
    return Hosts().find(BlockEntries(testing::ReadBytes(list))) != std::string::npos;
  }
  bool Installed(const char* file) const { return testing::PathExists(folder_ + "\\" + file); }
  void ExpectProgramsInstalled(bool installed) const {
    for (const char* file : {"tessaline.exe", "tessaline-cli.exe", "data.dat"}) {
      EXPECT_EQ(Installed(file), installed) << file;
    }
  }

  std::unique_ptr<RegistryHive> registry_ = OpenSystemRegistry();
  std::string hosts_ = SystemWindowsDirectory() + "\\system32\\drivers\\etc\\hosts";
  std::string original_hosts_ = testing::ReadBytes(hosts_);
  std::string folder_ = [] {
    char program_files[MAX_PATH] = {};
    GetEnvironmentVariableA("ProgramW6432", program_files, MAX_PATH);
    return std::string(program_files) + "\\Tessaline";
  }();
  std::string protected_hosts_;  // the hosts file as a case's `before` left it
};

std::string InstallPackage(Machine&) { return "/i " + Package(); }
std::string InstallNext(Machine&) { return "/i " + std::string(kNextPackage); }
std::string RemovePackage(Machine&) { return "/x " + Package(); }
void Nothing(Machine&) {}

std::vector<Case> Cases() {
  return {
      {"SilentInstallLeavesProtectionOff", Nothing, InstallPackage, false, 0, nullptr,
       [](Machine& m) {
         m.ExpectProgramsInstalled(true);
         EXPECT_EQ(Machine::ProductVersion(), VersionText());
         EXPECT_EQ(
             m.Setting(kServersValue),
             std::to_string(CountBlockListLines(testing::ReadBytes(m.folder_ + "\\data.dat"))));
         EXPECT_EQ(m.Hosts(), m.original_hosts_);
         EXPECT_EQ(m.Cli("state"), 4U);
       }},
      {"ActivateTurnsProtectionOn", Nothing,
       [](Machine&) { return "/i " + Package() + " ACTIVATE=1"; }, false, 0,
       "tessaline-cli.exe activate ended with 0",
       [](Machine& m) {
         EXPECT_EQ(m.Cli("state"), 0U);
         EXPECT_TRUE(m.HoldsEntriesOf(m.folder_ + "\\data.dat"));
         EXPECT_EQ(testing::ReadBytes(m.folder_ + "\\host.bak"), m.original_hosts_);
       }},
      {"TheGroupPolicyValueTurnsProtectionOn",
       [](Machine&) {
         HKEY key = nullptr;
         ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, std::string(kPolicyKey).c_str(), 0, nullptr,
                                   0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
                   ERROR_SUCCESS);
         const UniqueHkey owned(key);
         const DWORD on = 1;
         RegSetValueExA(key, "Activate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on),
                        sizeof on);
       },
       InstallPackage, false, 0, "tessaline-cli.exe activate ended with 0",
       [](Machine& m) { EXPECT_EQ(m.Cli("state"), 0U); }},
      {"AMajorUpgradeReplacesTheOlderProduct", [](Machine& m) { m.Install(); }, InstallNext, false,
       0, "tessaline-cli.exe refresh ended with 4",
       [](Machine& m) {
         EXPECT_EQ(Machine::ProductVersion(), NextVersion()) << "one product: the newer one";
         EXPECT_EQ(m.Setting(kServersValue), "3");
         EXPECT_EQ(m.Cli("state"), 4U);
       }},
      // Windows removes the older product with UPGRADINGPRODUCTCODE set; Wine's
      // RemoveExistingProducts leaves it out, so the test runs that removal as Windows does.
      {"AnUpgradeBlocksTheNewListAndKeepsTheBackup",
       [](Machine& m) {
         m.Install("ACTIVATE=1");
         ASSERT_EQ(Msiexec("/x " + Package() +
                           " UPGRADINGPRODUCTCODE=" + ProductCodeOf(std::string(kNextPackage)))
                       .status,
                   0U);
         EXPECT_EQ(m.Setting(kBlockedValue), "1") << "the older product goes without deactivating";
       },
       InstallNext, false, 0, "tessaline-cli.exe refresh ended with 0",
       [](Machine& m) {
         EXPECT_NE(testing::ReadBytes(m.folder_ + "\\data.dat"), testing::ReadBytes("data.dat"));
         EXPECT_TRUE(m.HoldsEntriesOf(m.folder_ + "\\data.dat")) << m.Hosts();
         EXPECT_EQ(m.Setting(kServersValue), "3");
         EXPECT_EQ(testing::ReadBytes(m.folder_ + "\\host.bak"), m.original_hosts_);
         EXPECT_EQ(m.Cli("deactivate"), 0U);
         EXPECT_EQ(m.Hosts(), m.original_hosts_);
       }},
      {"RemovalTakesTheSectionBackAndKeepsALineAddedSince",
       [](Machine& m) {
         m.Install("ACTIVATE=1");
         testing::WriteBytes(m.hosts_, m.Hosts() + "10.0.0.6 printer\r\n");
         testing::WriteBytes(m.folder_ + "\\host.sec", "the section's record");
         testing::WriteBytes(m.folder_ + "\\host.bak.000001", "an older backup");
       },
       RemovePackage, false, 0, "tessaline-cli.exe deactivate ended with 0",
       [](Machine& m) {
         EXPECT_NE(m.Hosts().find("10.0.0.6 printer\r\n"), std::string::npos);
         EXPECT_EQ(m.Hosts().find("#email snoop protection"), std::string::npos);
         m.ExpectProgramsInstalled(false);
         EXPECT_EQ(Machine::MsiProduct(), "");
         EXPECT_EQ(testing::ReadBytes(m.folder_ + "\\host.bak"), m.original_hosts_)
             << "the hosts file from before protection stays";
         EXPECT_EQ(m.registry_->Read(kHkeyLocalMachine, kSettingsKey, kBlockedValue), std::nullopt);
         for (const char* bookkeeping : {"host.sec", "host.bak.000001"}) {
           EXPECT_FALSE(m.Installed(bookkeeping)) << bookkeeping;
         }
         EXPECT_FALSE(testing::PathExists(testing::SystemLockFolder()))
             << "the machine's lock goes with the program";
       }},
      {"ARemovalWhoseDeactivationFailsRemovesNothing",
       [](Machine& m) {
         m.Install("ACTIVATE=1");
         m.protected_hosts_ = m.Hosts();
       },
       RemovePackage, true, ERROR_INSTALL_FAILURE, "nothing was removed",
       [](Machine& m) {
         m.ExpectProgramsInstalled(true);
         EXPECT_EQ(m.Hosts(), m.protected_hosts_);
         EXPECT_EQ(m.Setting(kBlockedValue), "1");
       }},
      {"ARemovalWithoutABackupRefusesAndSaysWhy",
       [](Machine& m) {
         m.Install("ACTIVATE=1");
         std::remove((m.folder_ + "\\host.bak").c_str());
         m.protected_hosts_ = m.Hosts();
       },
       RemovePackage, false, ERROR_INSTALL_FAILURE, kNoBackup.data(),
       [](Machine& m) {
         m.ExpectProgramsInstalled(true);
         EXPECT_EQ(m.Hosts(), m.protected_hosts_);
       }},
      {"AFailedActivationRollsTheInstallBack", Nothing,
       [](Machine&) { return "/i " + Package() + " ACTIVATE=1"; }, true, ERROR_INSTALL_FAILURE,
       "could not turn protection on",
       [](Machine& m) {
         m.ExpectProgramsInstalled(false);
         EXPECT_EQ(Machine::MsiProduct(), "");
         EXPECT_EQ(m.Hosts(), m.original_hosts_);
       }},
      {"ThePackageRefusesBesideTheSetupProgram",
       // Wine logs no launch condition's message; scripts/test-msi reads it in the table.
       [](Machine&) { ASSERT_EQ(testing::RunAndWait(SetupProgram() + " /S"), 0U); }, InstallPackage,
       false, ERROR_INSTALL_FAILURE, "LaunchConditions. Return value 0",
       [](Machine& m) {
         EXPECT_TRUE(Machine::MsiProduct().empty());
         EXPECT_TRUE(m.Installed("uninstall.exe"));
       }},
      // The refused setup program leaves the product whole: it is removed as ever.
      {"TheSetupProgramRefusesBesideThePackage", [](Machine& m) { m.Install(); },
       [](Machine&) {
         EXPECT_EQ(testing::RunAndWait(SetupProgram() + " /S"), 7U);
         return "/x " + Package();
       },
       false, 0, nullptr,
       [](Machine& m) {
         EXPECT_FALSE(m.Installed("uninstall.exe"));
         EXPECT_EQ(m.SetupProgramFolder(), "");
       }},
  };
}

void PrintTo(const Case& test, std::ostream* out) { *out << test.name; }

TEST_P(Machine, Runs) {
  const Case& test = GetParam();
  test.before(*this);
  ASSERT_FALSE(HasFatalFailure());
  const std::string arguments = test.command(*this);
  std::optional<testing::HostsFileHeldOpen> held;
  if (test.hosts_held) held.emplace(hosts_);
  const Outcome outcome = Msiexec(arguments);
  held.reset();
  EXPECT_EQ(outcome.status, test.status) << Said(outcome.log);
  if (test.log_says != nullptr) {
    EXPECT_NE(outcome.log.find(test.log_says), std::string::npos) << Said(outcome.log);
  }
  test.after(*this);
}

INSTANTIATE_TEST_SUITE_P(Package, Machine, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tsl
