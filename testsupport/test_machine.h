// A machine for tests: its operation lock lies in the test's own folder and its name cache
// is the test's own, so that no test waits on this machine's lock or flushes its cache.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/lock_file.h"
#include "platform/path.h"
#include "platform/real_file_system.h"
#include "protection/operation_lock.h"
#include "protection/protection.h"
#include "protection/window_state.h"
#include "testsupport/fake_registries.h"
#include "testsupport/test_support.h"

namespace tsl::testing {

// A name cache with nothing in it to flush.
class UnusedNameCache final : public NameCache {
 public:
  void Flush() override {}
};

// The operation lock `tessaline.lock` in `folder`.
inline std::string LockIn(const std::string& folder) {
  return folder + kPathSeparator + std::string(kOperationLockName);
}

// The folder of the machine's own operation lock.
inline std::string SystemLockFolder() { return ParentFolder(SystemLockPath()); }

// A Machine over parts a test brings (a failing file system, a refusing store); the lock
// lies in the AppFolder, as it did before there was one for the machine.
inline Machine TestMachine(FileSystem& files, RegistryHive& registry, const std::string& app_folder,
                           NameCache& name_cache) {
  return Machine{files, registry, app_folder, kOperationLockWait, name_cache, LockIn(app_folder)};
}

inline UnusedNameCache unused_name_cache;

inline Machine TestMachine(FileSystem& files, RegistryHive& registry,
                           const std::string& app_folder) {
  return TestMachine(files, registry, app_folder, unused_name_cache);
}

// The folders a test hands its child process in one variable: "windows|app|...".
inline std::vector<std::string> Fields(const std::string& joined) {
  std::vector<std::string> fields;
  for (size_t start = 0;;) {
    const size_t bar = joined.find('|', start);
    fields.push_back(joined.substr(start, bar - start));
    if (bar == std::string::npos) return fields;
    start = bar + 1;
  }
}

// An activation over real files in `windows`, its hosts file at the top, from `app`, as a
// test's child process runs it: its settings go to memory, since a killed child cleans
// nothing up; its lock lies at `lock_path`, or in `app`. The hosts file's path is the one
// start-up found: under Wine it is briefly missing while another activation replaces it,
// so looking for it here, outside the lock, may not find it.
inline void ActivateIn(const std::string& windows, const std::string& app,
                       NameCache& name_cache = unused_name_cache,
                       const std::string& lock_path = "") {
  RealFileSystem files(windows);
  MemoryRegistry registry;
  WindowState window;
  Machine machine = TestMachine(files, registry, app, name_cache);
  if (!lock_path.empty()) machine.lock_path = lock_path;
  ActivateProtection(machine, windows + kPathSeparator + "hosts", window);
}

// A machine in temporary folders: a Windows directory and an application folder, real
// files in them, a settings store of its own and a window for the operations to report
// to. The hosts file lies at `hosts_in_windows`.
class TempMachine {
 public:
  explicit TempMachine(const std::string& hosts_in_windows = "hosts")
      : hosts(windows.Join(hosts_in_windows)) {}
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  [[nodiscard]] std::string Blocked() const {
    return RegistryGetString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "");
  }
  void SetBlocked(std::string_view text) {
    RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, text);
  }
  void Activate() { ActivateProtection(machine, hosts, window); }
  void Deactivate() { DeactivateProtection(machine, hosts, window); }

  TempDir windows;
  TempDir app;
  RealFileSystem files{windows.path()};
  ScratchRegistry registry;
  std::string hosts;
  std::string backup = app.Join("host.bak");
  std::string block_list = app.Join("data.dat");
  Machine machine = TestMachine(files, registry, app.path());
  WindowState window;
};

// The operations' tests: the hosts file where Windows keeps it, and Activate enabled, as
// the window shows it before the first operation.
class ProtectionFixture : public ::testing::Test, public TempMachine {
 protected:
  ProtectionFixture() : TempMachine("system32/drivers/etc/hosts") {
    window.command2_enabled = true;
  }
};

}  // namespace tsl::testing
