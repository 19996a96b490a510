// A real full disk: a small tmpfs standing in for the application folder or for the folder
// of the hosts file. Mounting needs the rights to mount; without them the test is skipped,
// and the injected failures of fault_injection_test.cpp still cover each step.
#include <sys/mount.h>

#include <gtest/gtest.h>

#include "platform/posix/registry_file.h"
#include "testsupport/test_machine.h"

namespace tsl {
namespace {

class SmallDisk {
 public:
  explicit SmallDisk(const std::string& at) : at_(at) {
    mounted_ = ::mount("tessaline-test", at.c_str(), "tmpfs", 0, "size=16k,mode=0700") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount(at_.c_str());
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  [[nodiscard]] bool mounted() const { return mounted_; }

 private:
  std::string at_;
  bool mounted_ = false;
};

class DiskFullTest : public ::testing::Test, public testing::TempMachine {
 protected:
  const std::string kOriginal = std::string(6000, '#') + "\n127.0.0.1 localhost\n";
};

TEST_F(DiskFullTest, ABackupThatDoesNotFitStopsActivationBeforeTheHostsFile) {
  const SmallDisk disk(app.path());
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  testing::WriteBytes(hosts, kOriginal);
  testing::WriteBytes(block_list, "a.example\r\n");
  testing::WriteBytes(app.Join("filler"),
                      std::string(size_t{12} * 1024, 'x'));  // leaves < 6000 bytes
  try {
    Activate();
    FAIL() << "a backup that did not fit was reported as written";
  } catch (const FileError& failure) {
    EXPECT_EQ(failure.path(), backup);
  }
  EXPECT_EQ(testing::ReadBytes(hosts), kOriginal);
  EXPECT_EQ(Blocked(), "");
  EXPECT_FALSE(testing::PathExists(backup))
      << "no part-written backup for a later deactivation to restore";
}

TEST_F(DiskFullTest, AHostsFileThatCannotGrowLeavesACompleteBackup) {
  const SmallDisk disk(windows.path());
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  testing::WriteBytes(hosts, kOriginal);
  std::string names;
  for (int i = 0; i < 1000; ++i) names += "tracker" + std::to_string(i) + ".example\r\n";
  testing::WriteBytes(block_list, names);
  try {
    Activate();
    FAIL() << "a section that did not fit was reported as written";
  } catch (const FileError& failure) {
    EXPECT_EQ(failure.path(), hosts);
  }
  EXPECT_EQ(testing::ReadBytes(backup), kOriginal);
  EXPECT_EQ(Blocked(), "");
}

TEST_F(DiskFullTest, ASettingsWriteThatDoesNotFitKeepsThePreviousFile) {
  const testing::TempDir state;
  const SmallDisk disk(state.path());
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  RegistryFile registry(state.Join("registry.reg"));
  RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "1");
  const std::string before = testing::ReadBytes(state.Join("registry.reg"));
  EXPECT_THROW(RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kServersValue,
                                  std::string(size_t{32} * 1024, '9')),
               SettingsError);
  EXPECT_EQ(testing::ReadBytes(state.Join("registry.reg")), before);
  EXPECT_EQ(RegistryGetString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, ""), "1");
}

}  // namespace
}  // namespace tsl
