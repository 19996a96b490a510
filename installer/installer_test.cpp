// The installer in a fresh Wine prefix: install, use, upgrade and uninstall, as a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "build_facts.h"
#include "protection/block_section.h"
#include "protection/protection.h"
#include "protection/real_file_system.h"
#include "resources/version.h"
#include "settings/registry.h"
#include "support/win32_handle.h"
#include "testsupport/exit_status_win32.h"
#include "testsupport/test_machine.h"
#include "testsupport/test_support.h"
#include "ui/form_load.h"
#include "ui/window_state.h"
#include "ui/win32/controls.h"

namespace tsl {
namespace {

constexpr std::string_view kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessaline";

std::string SetupProgram() { return "tessaline-setup-" + VersionText() + ".exe"; }
// The same installer with installer/next_list.dat as its block list.
constexpr std::string_view kNextListSetup = "installer\\next-list\\tessaline-setup.exe";

// Runs a command line and waits for it; returns its exit status.
DWORD RunAndWait(const std::string& command) {
  std::string command_line = command;  // CreateProcessA may write to it
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start " << command_line;
    return ~0U;
  }
  const UniqueHandle process_handle(process.hProcess);
  const UniqueHandle thread_handle(process.hThread);
  return testing::ExitStatusWithin(process_handle.get(), 120'000);
}

template <typename Condition>
bool WaitFor(Condition condition) {
  for (int i = 0; i < 600; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// The installed program, started as a user would, with its window shown (which it is once
// its load event has run).
class RunningProgram {
 public:
  explicit RunningProgram(const std::string& folder) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string command_line = "\"" + folder + "\\tessaline.exe\"";
    EXPECT_TRUE(CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    process_.reset(process.hProcess);
    thread_.reset(process.hThread);
    EXPECT_TRUE(WaitFor([&] {
      window_ = FindWindowA("TessalineMain", "Tessaline");
      return window_ != nullptr && IsWindowVisible(window_);
    }));
  }

  [[nodiscard]] HWND window() const { return window_; }

  // Closes the window and returns the program's exit status.
  DWORD Close() {
    PostMessageA(window_, WM_CLOSE, 0, 0);
    return testing::ExitStatusWithin(process_.get(), 30'000);
  }

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
  HWND window_ = nullptr;
};

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hosts_ = SystemWindowsDirectory() + "\\system32\\drivers\\etc\\hosts";
    original_hosts_ = testing::ReadBytes(hosts_);
  }
  void TearDown() override {
    testing::WriteBytes(hosts_, original_hosts_);
    const std::string folder = InstallFolder();
    if (!folder.empty()) Uninstall();
  }

  std::string Setting(std::string_view name) const {
    return RegistryGetString(*registry_, kHkeyLocalMachine, kSettingsKey, name, "");
  }
  std::string InstallFolder() const {
    return RegistryGetString(*registry_, kHkeyLocalMachine, kUninstallKey, "InstallLocation", "");
  }
  void Install() { ASSERT_EQ(RunAndWait(SetupProgram() + " /S"), 0U); }
  // The installed console program's exit status for one command.
  DWORD Cli(const std::string& command) const {
    return RunAndWait("\"" + InstallFolder() + "\\tessaline-cli.exe\" " + command);
  }
  // The entries the installed block list makes, which the hosts file holds while
  // protection is on.
  std::string InstalledEntries() const {
    return BlockEntries(testing::ReadBytes(InstallFolder() + "\\data.dat"));
  }
  bool HoldsEntries(const std::string& entries) const {
    return testing::ReadBytes(hosts_).find(entries) != std::string::npos;
  }
  // Uninstalls silently as `uninstall.exe /S` does: that starts a copy of itself outside the
  // program's folder and returns at once, so the test starts such a copy itself and waits
  // for it, which gives the uninstaller's own status.
  void Uninstall() {
    const std::string folder = InstallFolder();
    const testing::TempDir outside;
    const std::string copy = outside.Join("uninstall.exe");
    ASSERT_TRUE(CopyFileA((folder + "\\uninstall.exe").c_str(), copy.c_str(), TRUE));
    ASSERT_EQ(RunAndWait("\"" + copy + "\" /S _?=" + folder), 0U);
    std::remove(copy.c_str());
    ASSERT_EQ(InstallFolder(), "") << "its last step removes its Add/Remove entry";
  }

  std::unique_ptr<RegistryHive> registry_ = OpenSystemRegistry();
  std::string hosts_;
  std::string original_hosts_;
};

TEST_F(InstallerTest, InstallActivateAndUninstallLeaveTheHostsFileAsItWas) {
  Install();
  const std::string folder = InstallFolder();
  ASSERT_FALSE(folder.empty());
  for (const char* file : {"tessaline.exe", "tessaline-cli.exe", "data.dat", "uninstall.exe"}) {
    EXPECT_TRUE(testing::PathExists(folder + "\\" + file)) << file;
  }
  const std::string servers =
      std::to_string(CountBlockListLines(testing::ReadBytes(folder + "\\data.dat")));
  EXPECT_EQ(Setting("Servers"), servers);
  EXPECT_EQ(RegistryGetString(*registry_, kHkeyLocalMachine, kUninstallKey, "DisplayVersion", ""),
            VersionText());
  EXPECT_EQ(RegistryGetString(*registry_, kHkeyLocalMachine, kUninstallKey, "Publisher", ""),
            "Orrindale");

  // The installed program shows the count, and its Activate button works.
  RunningProgram program(folder);
  const HWND window = program.window();
  char text[256] = {};
  GetWindowTextA(GetDlgItem(window, kLabel2), text, sizeof text);
  EXPECT_EQ(std::string(text), "Tracking servers blocked: " + servers);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(kCommand2, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, kCommand2)));
  EXPECT_EQ(Setting("Blocked"), "1");
  EXPECT_NE(testing::ReadBytes(hosts_).find("#email snoop protection "), std::string::npos);
  EXPECT_EQ(program.Close(), 0U);

  Uninstall();
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_) << "the uninstaller restored the backup";
  EXPECT_FALSE(testing::PathExists(folder));
  EXPECT_EQ(registry_->Read(kHkeyLocalMachine, kSettingsKey, "Servers"), std::nullopt);
  EXPECT_EQ(InstallFolder(), "");
}

TEST_F(InstallerTest, ASilentInstallWithActivateTurnsProtectionOn) {
  ASSERT_EQ(RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
  EXPECT_EQ(Setting("Blocked"), "1");
  EXPECT_TRUE(HoldsEntries(InstalledEntries()));
  EXPECT_EQ(testing::ReadBytes(InstallFolder() + "\\host.bak"), original_hosts_)
      << "the backup lies beside the console program, where the window finds it";
  EXPECT_EQ(Cli("state"), 0U);

  // Already on: the install refreshes the section and succeeds.
  ASSERT_EQ(RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
  EXPECT_EQ(Cli("state"), 0U);
  EXPECT_EQ(testing::ReadBytes(InstallFolder() + "\\host.bak"), original_hosts_);

  Uninstall();
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
}

// Another program holds the hosts file open with no sharing, so every read of it fails.
class HostsFileHeldOpen {
 public:
  explicit HostsFileHeldOpen(const std::string& hosts)
      : file_(CreateFileA(hosts.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
    EXPECT_TRUE(file_.valid());
  }

 private:
  UniqueHandle file_;
};

TEST_F(InstallerTest, AnActivationThatFailsLeavesTheProgramInstalledWithStatusFive) {
  {
    const HostsFileHeldOpen held(hosts_);
    EXPECT_EQ(RunAndWait(SetupProgram() + " /S /ACTIVATE"), 5U);
  }
  const std::string folder = InstallFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(testing::PathExists(folder + "\\tessaline-cli.exe"));
  EXPECT_NE(Setting("Blocked"), "1");
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
  EXPECT_EQ(Cli("state"), 4U);
}

TEST_F(InstallerTest, AnUpgradeWhileProtectionIsOnBlocksTheNewList) {
  ASSERT_EQ(RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
  const std::string first_list = InstalledEntries();
  ASSERT_TRUE(HoldsEntries(first_list));

  ASSERT_EQ(RunAndWait(std::string(kNextListSetup) + " /S"), 0U);
  const std::string next_list = InstalledEntries();
  ASSERT_NE(next_list, first_list);
  EXPECT_TRUE(HoldsEntries(next_list)) << testing::ReadBytes(hosts_);
  EXPECT_EQ(testing::ReadBytes(hosts_).substr(0, original_hosts_.size()), original_hosts_);
  EXPECT_EQ(Setting("Blocked"), "1");
  EXPECT_EQ(Setting("Servers"), "3");
  EXPECT_EQ(testing::ReadBytes(InstallFolder() + "\\host.bak"), original_hosts_);

  EXPECT_EQ(Cli("deactivate"), 0U);
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
}

TEST_F(InstallerTest, AnUpgradeWhileProtectionIsOffLeavesItOff) {
  Install();
  ASSERT_EQ(RunAndWait(std::string(kNextListSetup) + " /S"), 0U);
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
  EXPECT_NE(Setting("Blocked"), "1");
  EXPECT_EQ(Cli("state"), 4U);
}

// What deactivation makes of the hosts file and backup as they stand now, worked out on
// copies of them.
std::string DeactivatedCopy(const std::string& hosts, const std::string& backup) {
  const testing::TempDir windows;
  const testing::TempDir app;
  const std::string copy = windows.Join("hosts");
  testing::WriteBytes(copy, testing::ReadBytes(hosts));
  testing::WriteBytes(app.Join("host.bak"), testing::ReadBytes(backup));
  RealFileSystem files(windows.path());
  testing::ScratchRegistry registry;
  RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, "Blocked", "1");
  const Machine machine = testing::TestMachine(files, registry, app.path());
  WindowState window;
  DeactivateProtection(machine, copy, window);
  return testing::ReadBytes(copy);
}

// The uninstaller takes the section back through the console program: the hosts file ends
// as deactivation leaves it, a line added since activation included.
TEST_F(InstallerTest, TheUninstallerDeactivatesThroughTheConsoleProgram) {
  ASSERT_EQ(RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
  const std::string folder = InstallFolder();
  testing::WriteBytes(hosts_, testing::ReadBytes(hosts_) + "10.0.0.6 printer\r\n");
  const std::string expected = DeactivatedCopy(hosts_, folder + "\\host.bak");
  Uninstall();
  EXPECT_EQ(testing::ReadBytes(hosts_), expected);
  EXPECT_NE(expected.find("10.0.0.6 printer\r\n"), std::string::npos) << "the added line stays";
  EXPECT_EQ(expected.find("#email snoop protection"), std::string::npos);
  EXPECT_FALSE(testing::PathExists(folder));
  EXPECT_FALSE(testing::PathExists(std::string(std::getenv("ProgramData")) + "\\Tessaline"))
      << "the machine's lock goes with the program";
}

TEST_F(InstallerTest, AnUninstallWhoseDeactivationFailsRemovesNothing) {
  ASSERT_EQ(RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
  const std::string folder = InstallFolder();
  const std::string protected_hosts = testing::ReadBytes(hosts_);
  {
    const HostsFileHeldOpen held(hosts_);
    EXPECT_EQ(RunAndWait("\"" + folder + "\\uninstall.exe\" /S _?=" + folder), 6U);
  }
  for (const char* file : {"tessaline.exe", "tessaline-cli.exe", "data.dat", "host.bak"}) {
    EXPECT_TRUE(testing::PathExists(folder + "\\" + file)) << file;
  }
  EXPECT_EQ(InstallFolder(), folder);
  EXPECT_EQ(Setting("Blocked"), "1");
  EXPECT_EQ(testing::ReadBytes(hosts_), protected_hosts);
}

TEST_F(InstallerTest, AnUpgradeKeepsTheStateAndTheBackup) {
  Install();
  const std::string backup = InstallFolder() + "\\host.bak";
  testing::WriteBytes(backup, original_hosts_);
  testing::WriteBytes(hosts_, original_hosts_ + "\r\n#email snoop protection \r\n\r\n");
  RegistrySaveString(*registry_, kHkeyLocalMachine, kSettingsKey, "Blocked", "1");

  Install();
  EXPECT_EQ(Setting("Blocked"), "1");
  EXPECT_EQ(testing::ReadBytes(backup), original_hosts_);

  Uninstall();
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
}

TEST_F(InstallerTest, ABackupThatWasNotRestoredIsKept) {
  Install();
  const std::string folder = InstallFolder();
  testing::WriteBytes(folder + "\\host.bak", "an older hosts file");
  RegistrySaveString(*registry_, kHkeyLocalMachine, kSettingsKey, "Blocked", "0");
  Uninstall();
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
  EXPECT_EQ(testing::ReadBytes(folder + "\\host.bak"), "an older hosts file");
  EXPECT_FALSE(testing::PathExists(folder + "\\tessaline.exe"));
}

TEST_F(InstallerTest, OnlyAFolderBelowProgramFilesIsTaken) {
  const std::string elsewhere = SystemWindowsDirectory().substr(0, 3) + "Tessaline";
  EXPECT_EQ(RunAndWait(SetupProgram() + " /S /D=" + elsewhere), 2U);
  EXPECT_FALSE(testing::PathExists(elsewhere + "\\tessaline.exe"));
  EXPECT_EQ(InstallFolder(), "");
  char program_files[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableA("ProgramW6432", program_files, MAX_PATH), 0U);
  EXPECT_EQ(RunAndWait(SetupProgram() + " /S /D=" + program_files + "\\Tessaline\\..\\..\\Evil"),
            2U)
      << "a path that leads out of Program Files";
}

// Protection on and no backup: a silent uninstall changes nothing and says so by its status.
TEST_F(InstallerTest, AnUninstallThatWouldLeaveTheBlockSectionForGoodIsRefused) {
  Install();
  const std::string folder = InstallFolder();
  std::remove((folder + "\\host.bak").c_str());
  const std::string protected_hosts = original_hosts_ + "\r\n#email snoop protection \r\n\r\n";
  testing::WriteBytes(hosts_, protected_hosts);
  RegistrySaveString(*registry_, kHkeyLocalMachine, kSettingsKey, "Blocked", "1");
  EXPECT_EQ(RunAndWait("\"" + folder + "\\uninstall.exe\" /S _?=" + folder), 3U);
  EXPECT_TRUE(testing::PathExists(folder + "\\tessaline.exe"));
  EXPECT_EQ(Setting("Blocked"), "1");
  EXPECT_EQ(testing::ReadBytes(hosts_), protected_hosts);
  RegistrySaveString(*registry_, kHkeyLocalMachine, kSettingsKey, "Blocked", "0");
}

TEST_F(InstallerTest, NeitherSetupNorUninstallRunsUnderARunningProgram) {
  Install();
  const std::string folder = InstallFolder();
  RunningProgram program(folder);

  const UniqueNullableHandle running(OpenMutexA(SYNCHRONIZE, FALSE, TSL_RUNNING_MUTEX));
  EXPECT_TRUE(running.valid()) << "the program holds its mutex";
  EXPECT_EQ(RunAndWait(SetupProgram() + " /S"), 4U);
  EXPECT_EQ(RunAndWait("\"" + folder + "\\uninstall.exe\" /S _?=" + folder), 4U);
  EXPECT_TRUE(testing::PathExists(folder + "\\tessaline.exe"));

  EXPECT_EQ(program.Close(), 0U);
}

}  // namespace
}  // namespace tsl
