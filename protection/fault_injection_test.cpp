// Every file step of activation and deactivation made to fail in turn, the writes among
// them after part of their bytes: the failure is reported with its path, the steps before
// it stay done, nothing is recorded as done, and the user's original hosts file can always
// be had back -- it is unchanged, or a complete backup of it is on disk.
#include <gtest/gtest.h>

#include "protection/protection.h"
#include "protection/real_file_system.h"
#include "testsupport/test_machine.h"
#include "testsupport/test_support.h"
#include "ui/window_state.h"

namespace tsl {
namespace {

// The real file system, except that the step numbered fail_at (counting from 0) fails; a
// failing write first puts half of its bytes on disk, as a full disk would.
class FaultyFileSystem final : public FileSystem {
 public:
  FaultyFileSystem(std::string windows_directory, int fail_at)
      : real_(std::move(windows_directory)), fail_at_(fail_at) {}

  [[nodiscard]] std::string WindowsDirectory() const override { return real_.WindowsDirectory(); }
  [[nodiscard]] bool FileExists(const std::string& path) const override {
    return real_.FileExists(path);
  }
  [[nodiscard]] std::string ReadWholeFile(const std::string& path) const override {
    Step("read", path);
    return real_.ReadWholeFile(path);
  }
  void CopyFileOver(const std::string& from, const std::string& to) override {
    if (Failing()) {
      const std::string bytes = real_.ReadWholeFile(from);
      testing::WriteBytes(to, bytes.substr(0, bytes.size() / 2));
    }
    Step("write", to);
    real_.CopyFileOver(from, to);
  }
  void CopyFileAtomically(const std::string& from, const std::string& to) override {
    Step("write", to);  // fails as a whole or not at all
    real_.CopyFileAtomically(from, to);
  }
  void RemoveTemporaryCopies(const std::string& path) override {
    real_.RemoveTemporaryCopies(path);
  }
  void SetAttributesNormal(const std::string& path) override {
    Step("set the attributes of", path);
    real_.SetAttributesNormal(path);
  }
  void AppendToFile(const std::string& path,
                    std::initializer_list<std::string_view> pieces) override {
    if (Failing()) {
      std::string bytes;
      for (const std::string_view piece : pieces) bytes += piece;
      testing::WriteBytes(path, testing::ReadBytes(path) + bytes.substr(0, bytes.size() / 2));
    }
    Step("append to", path);
    real_.AppendToFile(path, pieces);
  }

  [[nodiscard]] int steps() const { return steps_; }

 private:
  [[nodiscard]] bool Failing() const { return steps_ == fail_at_; }
  void Step(const std::string& operation, const std::string& path) const {
    if (steps_++ == fail_at_) throw FileError(operation, path, "injected failure");
  }

  RealFileSystem real_;
  int fail_at_;
  mutable int steps_ = 0;
};

class FaultInjectionTest : public ::testing::Test {
 protected:
  const std::string kOriginal = "127.0.0.1 localhost\r\n# the user's own lines\r\n";

  void Prepare() {
    testing::WriteBytes(hosts_, kOriginal);
    testing::WriteBytes(app_.Join("data.dat"), "a.example\r\nb.example\r\n");
  }
  std::string Blocked() const {
    return RegistryGetString(registry_, kHkeyLocalMachine, kSettingsKey, "Blocked", "");
  }
  bool OriginalRecoverable() const {
    return testing::ReadBytes(hosts_) == kOriginal ||
           (testing::PathExists(backup_) && testing::ReadBytes(backup_) == kOriginal);
  }

  testing::TempDir windows_;
  testing::TempDir app_;
  testing::ScratchRegistry registry_;
  std::string hosts_ = windows_.Join("hosts");
  std::string backup_ = app_.Join("host.bak");
};

TEST_F(FaultInjectionTest, ActivationFailingAtAnyStep) {
  int steps = 0;
  {
    Prepare();
    FaultyFileSystem counting(windows_.path(), -1);
    WindowState window;
    ActivateProtection(testing::TestMachine(counting, registry_, app_.path()), hosts_, window);
    steps = counting.steps();
    std::remove(backup_.c_str());
  }
  ASSERT_GE(steps, 4);  // backup, block list, attributes, append
  for (int fail_at = 0; fail_at < steps; ++fail_at) {
    SCOPED_TRACE("failing step " + std::to_string(fail_at));
    Prepare();
    RegistrySaveString(registry_, kHkeyLocalMachine, kSettingsKey, "Blocked", "0");
    FaultyFileSystem files(windows_.path(), fail_at);
    WindowState window;
    window.command2_enabled = true;
    try {
      ActivateProtection(testing::TestMachine(files, registry_, app_.path()), hosts_, window);
      FAIL() << "the failure was not reported";
    } catch (const FileError& failure) {
      EXPECT_FALSE(failure.path().empty());
      EXPECT_NE(std::string(failure.what()).find(failure.path()), std::string::npos);
    }
    EXPECT_TRUE(OriginalRecoverable());
    EXPECT_EQ(Blocked(), "0");
    EXPECT_TRUE(window.command2_enabled);
    EXPECT_EQ(window.Caption(Label::Label3), kLabel3Created);
    std::remove(backup_.c_str());
  }
}

TEST_F(FaultInjectionTest, DeactivationFailingAtAnyStep) {
  int steps = 0;
  {
    Prepare();
    testing::WriteBytes(backup_, kOriginal);
    FaultyFileSystem counting(windows_.path(), -1);
    WindowState window;
    DeactivateProtection(testing::TestMachine(counting, registry_, app_.path()), hosts_, window);
    steps = counting.steps();
  }
  ASSERT_GE(steps, 2);  // attributes, copy
  for (int fail_at = 0; fail_at < steps; ++fail_at) {
    SCOPED_TRACE("failing step " + std::to_string(fail_at));
    Prepare();
    testing::WriteBytes(hosts_, kOriginal + "\r\n#email snoop protection \r\n\r\n");
    testing::WriteBytes(backup_, kOriginal);
    RegistrySaveString(registry_, kHkeyLocalMachine, kSettingsKey, "Blocked", "1");
    FaultyFileSystem files(windows_.path(), fail_at);
    WindowState window;
    EXPECT_THROW(
        DeactivateProtection(testing::TestMachine(files, registry_, app_.path()), hosts_, window),
        FileError);
    EXPECT_EQ(testing::ReadBytes(backup_), kOriginal) << "the backup is never touched";
    EXPECT_EQ(Blocked(), "1");
    EXPECT_FALSE(window.command2_enabled);
  }
}

TEST_F(FaultInjectionTest, AHostsFileThatVanishedAfterStartUp) {
  Prepare();
  RealFileSystem files(windows_.path());
  const Machine machine = testing::TestMachine(files, registry_, app_.path());
  std::remove(hosts_.c_str());
  WindowState window;
  try {
    ActivateProtection(machine, hosts_, window);
    FAIL() << "activation without a hosts file succeeded";
  } catch (const FileError& failure) {
    EXPECT_EQ(failure.path(), hosts_);
  }
  EXPECT_FALSE(testing::PathExists(backup_));
  EXPECT_EQ(Blocked(), "");
}

}  // namespace
}  // namespace tsl
