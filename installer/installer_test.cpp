// The installer in a fresh Wine prefix: install, use, upgrade and uninstall, as a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "build_facts.h"
#include "platform/win32/handle.h"
#include "protection/protection.h"
#include "protection/window_texts.h"
#include "resources/version.h"
#include "settings/registry.h"
#include "testsupport/exit_status_win32.h"
#include "testsupport/test_machine.h"
#include "text/block_section.h"
#include "ui/form_load.h"
#include "ui/window/controls.h"

namespace tsl {
namespace {

constexpr std::string_view kUninstallKey = TSL_UNINSTALL_KEY;

std::string SetupProgram() { return "tessaline-setup-" + VersionText() + ".exe"; }
// The same installer with installer/next_list.dat as its block list.
constexpr std::string_view kNextListSetup = "installer\\next-list\\tessaline-setup.exe";

template <typename Condition>
bool WaitFor(Condition condition) {
  for (int i = 0; i < 600; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// Whether the path is gone, or goes soon: the uninstaller's own file and its folder are
// removed by a copy of it once it has ended.
bool Gone(const std::string& path) {
  return WaitFor([&] { return !testing::PathExists(path); });
}

// A control of `window` (at any depth) whose text holds `text`, or nullptr.
HWND ControlWithText(HWND window, const std::string& text) {
  struct Search {
    const std::string& text;
    HWND found = nullptr;
  } search{text};
  EnumChildWindows(
      window,
      [](HWND control, LPARAM data) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(data);
        char got[512] = {};
        GetWindowTextA(control, got, sizeof got);
        if (std::string(got).find(search.text) == std::string::npos) return TRUE;
        search.found = control;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The top-level window of the process that shows `text` in one of its controls, waited for.
HWND WindowShowing(DWORD process, const std::string& text) {
  struct Search {
    DWORD process;
    const std::string& text;
    HWND found = nullptr;
  } search{process, text};
  WaitFor([&] {
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto& search = *reinterpret_cast<Search*>(data);
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner != search.process || !IsWindowVisible(window) ||
              ControlWithText(window, search.text) == nullptr) {
            return TRUE;
          }
          search.found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  EXPECT_NE(search.found, nullptr) << "no window showing " << text;
  return search.found;
}

// The button of a dialog that Enter presses: the one with the focus. (Wine's message box
// answers DM_GETDEFID with its first button whatever its default.)
int DefaultButton(HWND dialog) {
  GUITHREADINFO focus{};
  focus.cbSize = sizeof focus;
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &focus);
  return GetDlgCtrlID(focus.hwndFocus);
}

// Presses a button of a dialog as a click would.
void Press(HWND dialog, int button) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// The installed program, started as a user would, with its window shown (which it is once
// its load event has run).
class RunningProgram {
 public:
  explicit RunningProgram(const std::string& folder)
      : program_("\"" + folder + "\\tessaline.exe\"") {
    EXPECT_TRUE(WaitFor([&] {
      window_ = FindWindowA("TessalineMain", "Tessaline");
      return window_ != nullptr && IsWindowVisible(window_);
    }));
  }

  [[nodiscard]] HWND window() const { return window_; }

  // Closes the window and returns the program's exit status.
  DWORD Close() {
    PostMessageA(window_, WM_CLOSE, 0, 0);
    return program_.Wait(30'000);
  }

 private:
  testing::Started program_;
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
  void Install() { ASSERT_EQ(testing::RunAndWait(SetupProgram() + " /S"), 0U); }
  // The installed console program's exit status for one command.
  DWORD Cli(const std::string& command) const {
    return testing::RunAndWait("\"" + InstallFolder() + "\\tessaline-cli.exe\" " + command);
  }
  // The entries the installed block list makes, which the hosts file holds while
  // protection is on.
  std::string InstalledEntries() const {
    return BlockEntries(testing::ReadBytes(InstallFolder() + "\\data.dat"));
  }
  bool HoldsEntries(const std::string& entries) const {
    return testing::ReadBytes(hosts_).find(entries) != std::string::npos;
  }
  // Runs the Add/Remove entry's quiet uninstall command, as winget and Intune do; returns its
  // status.
  DWORD QuietUninstall() const {
    return testing::RunAndWait(RegistryGetString(*registry_, kHkeyLocalMachine, kUninstallKey,
                                                 "QuietUninstallString", ""));
  }
  void Uninstall() {
    const std::string folder = InstallFolder();
    ASSERT_EQ(QuietUninstall(), 0U);
    ASSERT_EQ(InstallFolder(), "") << "its last step removes its Add/Remove entry";
    EXPECT_TRUE(Gone(folder + "\\uninstall.exe"));
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
  EXPECT_EQ(Setting(kServersValue), servers);
  EXPECT_EQ(RegistryGetString(*registry_, kHkeyLocalMachine, kUninstallKey, "DisplayVersion", ""),
            VersionText());
  EXPECT_EQ(RegistryGetString(*registry_, kHkeyLocalMachine, kUninstallKey, "Publisher", ""),
            "Orrindale");

  // The installed program shows the count, and its Activate button works.
  RunningProgram program(folder);
  const HWND window = program.window();
  char text[256] = {};
  GetWindowTextA(GetDlgItem(window, kLabel2), text, sizeof text);
  EXPECT_EQ(std::string(text), std::string(kServersCaption) + servers);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(kCommand2, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, kCommand2)));
  EXPECT_EQ(Setting(kBlockedValue), "1");
  EXPECT_NE(testing::ReadBytes(hosts_).find("#email snoop protection "), std::string::npos);
  EXPECT_EQ(program.Close(), 0U);

  Uninstall();
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_) << "the uninstaller restored the backup";
  EXPECT_TRUE(Gone(folder));
  EXPECT_EQ(registry_->Read(kHkeyLocalMachine, kSettingsKey, kServersValue), std::nullopt);
  EXPECT_EQ(InstallFolder(), "");
}

TEST_F(InstallerTest, ASilentInstallWithActivateTurnsProtectionOn) {
  ASSERT_EQ(testing::RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
  EXPECT_EQ(Setting(kBlockedValue), "1");
  EXPECT_TRUE(HoldsEntries(InstalledEntries()));
  EXPECT_EQ(testing::ReadBytes(InstallFolder() + "\\host.bak"), original_hosts_)
      << "the backup lies beside the console program, where the window finds it";
  EXPECT_EQ(Cli("state"), 0U);

  // Already on: the install refreshes the section and succeeds.
  ASSERT_EQ(testing::RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
  EXPECT_EQ(Cli("state"), 0U);
  EXPECT_EQ(testing::ReadBytes(InstallFolder() + "\\host.bak"), original_hosts_);

  Uninstall();
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
}

// Two installs at once, each asked to turn protection on: the second waits for the first,
// then finds protection on, which is what it was asked for.
TEST_F(InstallerTest, TwoInstallsThatTurnProtectionOnAtOnceBothSucceed) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    testing::Started first(SetupProgram() + " /S /ACTIVATE");
    testing::Started second(SetupProgram() + " /S /ACTIVATE");
    EXPECT_EQ(first.Wait(), 0U) << "attempt " << attempt;
    EXPECT_EQ(second.Wait(), 0U) << "attempt " << attempt;
    EXPECT_EQ(Cli("state"), 0U);
    Uninstall();
    EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
  }
}

// The window that the finish page starts opens on protection already on, its Activate
// button disabled.
TEST_F(InstallerTest, TheFinishPageTurnsProtectionOnBeforeItStartsTheWindow) {
  testing::Started setup(SetupProgram());
  Press(WindowShowing(setup.id(), "License Agreement"), IDOK);
  const HWND finish = WindowShowing(setup.id(), "Turn protection on");
  SendMessageA(ControlWithText(finish, "Turn protection on"), BM_SETCHECK, BST_CHECKED, 0);
  Press(finish, IDOK);
  EXPECT_EQ(setup.Wait(), 0U);

  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindowA("TessalineMain", "Tessaline");
    return window != nullptr && IsWindowVisible(window);
  }));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kCommand2)));
  EXPECT_EQ(Cli("state"), 0U);
  DWORD program_id = 0;
  GetWindowThreadProcessId(window, &program_id);
  const UniqueNullableHandle program(OpenProcess(SYNCHRONIZE, FALSE, program_id));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(program.get(), 30'000), WAIT_OBJECT_0);
}

TEST_F(InstallerTest, AnActivationThatFailsLeavesTheProgramInstalledWithStatusFive) {
  {
    const testing::HostsFileHeldOpen held(hosts_);
    EXPECT_EQ(testing::RunAndWait(SetupProgram() + " /S /ACTIVATE"), 5U);
  }
  const std::string folder = InstallFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(testing::PathExists(folder + "\\tessaline-cli.exe"));
  EXPECT_NE(Setting(kBlockedValue), "1");
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
  EXPECT_EQ(Cli("state"), 4U);
}

TEST_F(InstallerTest, AnUpgradeWhileProtectionIsOnBlocksTheNewList) {
  ASSERT_EQ(testing::RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
  const std::string first_list = InstalledEntries();
  ASSERT_TRUE(HoldsEntries(first_list));

  ASSERT_EQ(testing::RunAndWait(std::string(kNextListSetup) + " /S"), 0U);
  const std::string next_list = InstalledEntries();
  ASSERT_NE(next_list, first_list);
  EXPECT_TRUE(HoldsEntries(next_list)) << testing::ReadBytes(hosts_);
  EXPECT_EQ(testing::ReadBytes(hosts_).substr(0, original_hosts_.size()), original_hosts_);
  EXPECT_EQ(Setting(kBlockedValue), "1");
  EXPECT_EQ(Setting(kServersValue), "3");
  EXPECT_EQ(testing::ReadBytes(InstallFolder() + "\\host.bak"), original_hosts_);

  EXPECT_EQ(Cli("deactivate"), 0U);
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
}

TEST_F(InstallerTest, AnUpgradeWhileProtectionIsOffLeavesItOff) {
  Install();
  ASSERT_EQ(testing::RunAndWait(std::string(kNextListSetup) + " /S"), 0U);
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
  EXPECT_NE(Setting(kBlockedValue), "1");
  EXPECT_EQ(Cli("state"), 4U);
}

// What deactivation makes of the hosts file and backup as they stand now, worked out on
// copies of them.
std::string DeactivatedCopy(const std::string& hosts, const std::string& backup) {
  testing::TempMachine rig;
  testing::WriteBytes(rig.hosts, testing::ReadBytes(hosts));
  testing::WriteBytes(rig.backup, testing::ReadBytes(backup));
  rig.SetBlocked("1");
  rig.Deactivate();
  return testing::ReadBytes(rig.hosts);
}

// The uninstaller takes the section back through the console program whatever "Blocked"
// says: the hosts file ends as deactivation leaves it, a line added since activation
// included, and the program's folder goes with the backup's history.
TEST_F(InstallerTest, TheUninstallerDeactivatesThroughTheConsoleProgram) {
  for (const char* blocked : {"1", ""}) {
    ASSERT_EQ(testing::RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
    const std::string folder = InstallFolder();
    testing::WriteBytes(hosts_, testing::ReadBytes(hosts_) + "10.0.0.6 printer\r\n");
    testing::WriteBytes(folder + "\\host.bak.000001", "an earlier backup");
    RegistrySaveString(*registry_, kHkeyLocalMachine, kSettingsKey, kBlockedValue, blocked);
    const std::string expected = DeactivatedCopy(hosts_, folder + "\\host.bak");
    Uninstall();
    EXPECT_EQ(testing::ReadBytes(hosts_), expected) << "Blocked: " << blocked;
    EXPECT_NE(expected.find("10.0.0.6 printer\r\n"), std::string::npos) << "the added line stays";
    EXPECT_EQ(expected.find("#email snoop protection"), std::string::npos);
    EXPECT_TRUE(Gone(folder)) << "Blocked: " << blocked;
    EXPECT_FALSE(testing::PathExists(testing::SystemLockFolder()))
        << "the machine's lock goes with the program";
    testing::WriteBytes(hosts_, original_hosts_);
  }
}

TEST_F(InstallerTest, AnUninstallWhoseDeactivationFailsRemovesNothing) {
  ASSERT_EQ(testing::RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
  const std::string folder = InstallFolder();
  const std::string protected_hosts = testing::ReadBytes(hosts_);
  {
    const testing::HostsFileHeldOpen held(hosts_);
    EXPECT_EQ(QuietUninstall(), 6U);
  }
  for (const char* file : {"tessaline.exe", "tessaline-cli.exe", "data.dat", "host.bak"}) {
    EXPECT_TRUE(testing::PathExists(folder + "\\" + file)) << file;
  }
  EXPECT_EQ(InstallFolder(), folder);
  EXPECT_EQ(Setting(kBlockedValue), "1");
  EXPECT_EQ(testing::ReadBytes(hosts_), protected_hosts);
}

TEST_F(InstallerTest, AnUpgradeKeepsTheStateAndTheBackup) {
  Install();
  ASSERT_EQ(Cli("activate"), 0U);
  const std::string backup = InstallFolder() + "\\host.bak";
  ASSERT_EQ(testing::ReadBytes(backup), original_hosts_);

  Install();
  EXPECT_EQ(Setting(kBlockedValue), "1");
  EXPECT_EQ(testing::ReadBytes(backup), original_hosts_);

  Uninstall();
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
}

TEST_F(InstallerTest, ABackupThatWasNotRestoredIsKept) {
  Install();
  const std::string folder = InstallFolder();
  testing::WriteBytes(folder + "\\host.bak", "an older hosts file");
  testing::WriteBytes(folder + "\\host.bak.000002", "an earlier backup");
  RegistrySaveString(*registry_, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "0");
  Uninstall();
  EXPECT_EQ(testing::ReadBytes(hosts_), original_hosts_);
  EXPECT_EQ(testing::ReadBytes(folder + "\\host.bak"), "an older hosts file");
  EXPECT_FALSE(testing::PathExists(folder + "\\host.bak.000002")) << "the history goes";
  EXPECT_FALSE(testing::PathExists(folder + "\\tessaline.exe"));
}

TEST_F(InstallerTest, OnlyAFolderBelowProgramFilesIsTaken) {
  const std::string elsewhere = SystemWindowsDirectory().substr(0, 3) + "Tessaline";
  EXPECT_EQ(testing::RunAndWait(SetupProgram() + " /S /D=" + elsewhere), 2U);
  EXPECT_FALSE(testing::PathExists(elsewhere + "\\tessaline.exe"));
  EXPECT_EQ(InstallFolder(), "");
  char program_files[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableA("ProgramW6432", program_files, MAX_PATH), 0U);
  EXPECT_EQ(
      testing::RunAndWait(SetupProgram() + " /S /D=" + program_files + "\\Tessaline\\..\\..\\Evil"),
      2U)
      << "a path that leads out of Program Files";

  // An upgrade goes where the program is: another folder is refused, not ignored.
  Install();
  const std::string folder = InstallFolder();
  EXPECT_EQ(testing::RunAndWait(SetupProgram() + " /S /D=" + elsewhere), 2U);
  EXPECT_EQ(testing::RunAndWait(SetupProgram() + " /S /D=" + program_files + "\\Other"), 2U);
  EXPECT_FALSE(testing::PathExists(elsewhere));
  EXPECT_FALSE(testing::PathExists(std::string(program_files) + "\\Other"));
  EXPECT_EQ(testing::RunAndWait(SetupProgram() + " /S /D=" + folder + "\\"), 0U)
      << "the program's own";
  EXPECT_EQ(InstallFolder(), folder);
}

// Protection on and no backup: a silent uninstall changes nothing and says so by its status.
TEST_F(InstallerTest, AnUninstallThatWouldLeaveTheBlockSectionForGoodIsRefused) {
  ASSERT_EQ(testing::RunAndWait(SetupProgram() + " /S /ACTIVATE"), 0U);
  const std::string folder = InstallFolder();
  std::remove((folder + "\\host.bak").c_str());
  const std::string protected_hosts = testing::ReadBytes(hosts_);
  EXPECT_EQ(QuietUninstall(), 3U);
  EXPECT_TRUE(testing::PathExists(folder + "\\tessaline.exe"));
  EXPECT_EQ(Setting(kBlockedValue), "1");
  EXPECT_EQ(testing::ReadBytes(hosts_), protected_hosts);

  // Asked, the user who just presses Enter keeps the program and the section.
  testing::Started uninstall("\"" + folder + "\\uninstall.exe\" _?=" + folder);
  Press(WindowShowing(uninstall.id(), "&Uninstall"), IDOK);
  const HWND question = WindowShowing(uninstall.id(), "Uninstall anyway?");
  EXPECT_EQ(DefaultButton(question), IDCANCEL);
  Press(question, IDCANCEL);
  EXPECT_EQ(uninstall.Wait(), 3U);
  EXPECT_TRUE(testing::PathExists(folder + "\\tessaline.exe"));
  EXPECT_EQ(testing::ReadBytes(hosts_), protected_hosts);
}

TEST_F(InstallerTest, NeitherSetupNorUninstallRunsUnderARunningProgram) {
  Install();
  const std::string folder = InstallFolder();
  RunningProgram program(folder);

  const UniqueNullableHandle running(OpenMutexA(SYNCHRONIZE, FALSE, TSL_RUNNING_MUTEX));
  EXPECT_TRUE(running.valid()) << "the program holds its mutex";
  EXPECT_EQ(testing::RunAndWait(SetupProgram() + " /S"), 4U);
  EXPECT_EQ(QuietUninstall(), 4U);
  EXPECT_TRUE(testing::PathExists(folder + "\\tessaline.exe"));

  EXPECT_EQ(program.Close(), 0U);
}

}  // namespace
}  // namespace tsl
