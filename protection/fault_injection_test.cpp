// Every file step of activation and deactivation made to fail in turn, the writes among
// them after part of their bytes: the failure is reported with its path, the steps before
// it stay done, nothing is recorded as done, and the user's original hosts file can always
// be had back -- it is unchanged, or a complete backup of it is on disk. And another
// program writing the hosts file between any two steps.
#include <gtest/gtest.h>

#include <functional>

#include "protection/protection.h"
#include "testsupport/test_machine.h"

namespace tsl {
namespace {

// The real file system, except that the step numbered fail_at (counting from 0) fails; a
// failing write first puts half of its bytes on disk, as a full disk would. `before_step`,
// when given, runs before each step with the step's number.
class FaultyFileSystem final : public FileSystem {
 public:
  FaultyFileSystem(std::string windows_directory, int fail_at,
                   std::function<void(int)> before_step = {})
      : real_(std::move(windows_directory)),
        fail_at_(fail_at),
        before_step_(std::move(before_step)) {}

  [[nodiscard]] std::string WindowsDirectory() const override { return real_.WindowsDirectory(); }
  [[nodiscard]] bool FileExists(const std::string& path) const override {
    return real_.FileExists(path);
  }
  [[nodiscard]] std::string ReadWholeFile(const std::string& path) const override {
    Step("read", path);
    return real_.ReadWholeFile(path);
  }
  [[nodiscard]] std::string ReadOwnFile(const std::string& path) const override {
    Step("read", path);
    return real_.ReadOwnFile(path);
  }
  // A failing replacement has written half of the bytes in place, as where the folder
  // refuses the copy.
  void WriteFileOver(const std::string& path, std::string_view contents) override {
    if (Failing()) testing::WriteBytes(path, std::string(contents.substr(0, contents.size() / 2)));
    Step("write", path);
    real_.WriteFileOver(path, contents);
  }
  void WriteCopyOf(const std::string& from, std::string_view contents,
                   const std::string& to) override {
    Step("write", to);  // fails as a whole or not at all
    real_.WriteCopyOf(from, contents, to);
  }
  void RemoveTemporaryCopies(const std::string& path) override {
    real_.RemoveTemporaryCopies(path);
  }
  void RemoveTemporaryCopiesIn(const std::string& folder,
                               const std::function<bool(std::string_view)>& of) override {
    real_.RemoveTemporaryCopiesIn(folder, of);
  }
  void SetAttributesNormal(const std::string& path) override {
    Step("set the attributes of", path);
    real_.SetAttributesNormal(path);
  }
  [[nodiscard]] std::vector<std::string> FileNames(const std::string& folder) const override {
    Step("list", folder);
    return real_.FileNames(folder);
  }
  void RemoveFile(const std::string& path) override {
    Step("remove", path);
    real_.RemoveFile(path);
  }

  [[nodiscard]] int steps() const { return steps_; }

 private:
  [[nodiscard]] bool Failing() const { return steps_ == fail_at_; }
  void Step(const std::string& operation, const std::string& path) const {
    if (before_step_) before_step_(steps_);
    if (steps_++ == fail_at_) throw FileError(operation, path, "injected failure");
  }

  RealFileSystem real_;
  int fail_at_;
  std::function<void(int)> before_step_;
  mutable int steps_ = 0;
};

class FaultInjectionTest : public ::testing::Test, public testing::TempMachine {
 protected:
  const std::string kOriginal = "127.0.0.1 localhost\r\n# the user's own lines\r\n";

  // Also with no record of an earlier section, so that every run takes the same steps.
  void Prepare() {
    testing::WriteBytes(hosts, kOriginal);
    testing::WriteBytes(app.Join("data.dat"), "a.example\r\nb.example\r\n");
    std::remove(app.Join("host.sec").c_str());
  }
  void PrepareActivated() {
    Prepare();
    testing::WriteBytes(hosts, kOriginal + "\r\n#email snoop protection \r\n\r\n");
    testing::WriteBytes(backup, kOriginal);
  }
  bool OriginalRecoverable() const {
    return testing::ReadBytes(hosts) == kOriginal ||
           (testing::PathExists(backup) && testing::ReadBytes(backup) == kOriginal);
  }
};

// Also over an earlier backup of other bytes, which goes to the history first and must
// never be lost on the way.
TEST_F(FaultInjectionTest, ActivationFailingAtAnyStep) {
  const std::string history = app.Join("host.bak.000001");
  for (const std::string earlier : {"", "an earlier backup\r\n"}) {
    const auto prepare_backup = [&] {
      std::remove(backup.c_str());
      std::remove(history.c_str());
      if (!earlier.empty()) testing::WriteBytes(backup, earlier);
    };
    int steps = 0;
    {
      Prepare();
      prepare_backup();
      FaultyFileSystem counting(windows.path(), -1);
      WindowState window;
      ActivateProtection(testing::TestMachine(counting, registry, app.path()), hosts, window);
      steps = counting.steps();
    }
    // read, backup, block list, attributes, write; then read, list and copy the earlier one
    ASSERT_GE(steps, earlier.empty() ? 5 : 8);
    for (int fail_at = 0; fail_at < steps; ++fail_at) {
      SCOPED_TRACE("failing step " + std::to_string(fail_at) +
                   (earlier.empty() ? "" : ", earlier"));
      Prepare();
      prepare_backup();
      RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "0");
      FaultyFileSystem files(windows.path(), fail_at);
      WindowState window;
      window.command2_enabled = true;
      try {
        ActivateProtection(testing::TestMachine(files, registry, app.path()), hosts, window);
        FAIL() << "the failure was not reported";
      } catch (const FileError& failure) {
        EXPECT_FALSE(failure.path().empty());
        EXPECT_NE(std::string(failure.what()).find(failure.path()), std::string::npos);
      }
      EXPECT_TRUE(OriginalRecoverable());
      if (!earlier.empty()) {
        EXPECT_TRUE(testing::ReadBytes(backup) == earlier ||
                    (testing::PathExists(history) && testing::ReadBytes(history) == earlier))
            << "the earlier backup is lost";
      }
      EXPECT_EQ(Blocked(), "0");
      EXPECT_TRUE(window.command2_enabled);
      EXPECT_EQ(window.Caption(Label::Label3), kLabel3Created);
    }
  }
}

TEST_F(FaultInjectionTest, DeactivationFailingAtAnyStep) {
  int steps = 0;
  {
    PrepareActivated();
    FaultyFileSystem counting(windows.path(), -1);
    WindowState window;
    DeactivateProtection(testing::TestMachine(counting, registry, app.path()), hosts, window);
    steps = counting.steps();
  }
  ASSERT_GE(steps, 5);  // read the block list, the backup and the hosts file, attributes, write
  for (int fail_at = 0; fail_at < steps; ++fail_at) {
    SCOPED_TRACE("failing step " + std::to_string(fail_at));
    PrepareActivated();
    RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "1");
    FaultyFileSystem files(windows.path(), fail_at);
    WindowState window;
    EXPECT_THROW(
        DeactivateProtection(testing::TestMachine(files, registry, app.path()), hosts, window),
        FileError);
    EXPECT_EQ(testing::ReadBytes(backup), kOriginal) << "the backup is never touched";
    EXPECT_EQ(Blocked(), "1");
    EXPECT_FALSE(window.command2_enabled);
  }
}

// Whenever the other program's bytes come, the backup is the hosts file that the section was
// added to, so that deactivation gives back exactly that; or the other program's bytes
// stand, when they came last.
TEST_F(FaultInjectionTest, AnotherProgramWritingTheHostsFileBetweenTheSteps) {
  const std::string theirs = "10.0.0.6 printer\r\n";
  for (int write_before = 0;; ++write_before) {
    SCOPED_TRACE("written before step " + std::to_string(write_before));
    Prepare();
    std::remove(backup.c_str());
    RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "0");
    bool written = false;
    FaultyFileSystem files(windows.path(), -1, [&](int step) {
      if (step != write_before) return;
      testing::WriteBytes(hosts, theirs);
      written = true;
    });
    WindowState window;
    const Machine machine = testing::TestMachine(files, registry, app.path());
    ActivateProtection(machine, hosts, window);
    if (!written) break;  // after the last step
    const std::string now = testing::ReadBytes(hosts);
    if (now == theirs) continue;
    const std::string kept = testing::ReadBytes(backup);
    EXPECT_TRUE(kept == kOriginal || kept == theirs) << kept;
    EXPECT_EQ(now.substr(0, kept.size()), kept) << "the section went onto other bytes";
    DeactivateProtection(machine, hosts, window);
    EXPECT_EQ(testing::ReadBytes(hosts), kept);
  }
}

TEST_F(FaultInjectionTest, AHostsFileThatVanishedAfterStartUp) {
  Prepare();
  std::remove(hosts.c_str());
  try {
    ActivateProtection(machine, hosts, window);
    FAIL() << "activation without a hosts file succeeded";
  } catch (const FileError& failure) {
    EXPECT_EQ(failure.path(), hosts);
  }
  EXPECT_FALSE(testing::PathExists(backup));
  EXPECT_EQ(Blocked(), "");
}

}  // namespace
}  // namespace tsl
