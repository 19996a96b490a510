// A run killed at any instant: the hosts file is always whole (its old bytes or the
// restored ones), the backup is always a complete copy, and the temporary copies a killed
// run leaves behind are gone after the next operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/posix/registry_file.h"
#include "platform/real_file_system.h"
#include "protection/backup_history.h"
#include "protection/protection.h"
#include "protection/window_state.h"
#include "testsupport/forked_posix.h"
#include "testsupport/test_machine.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

// Starts `operation` in a child process and kills it after `delay`; returns whether the
// operation had finished first.
bool RunKilledAfter(const std::function<void()>& operation, std::chrono::microseconds delay) {
  const int status = testing::StatusOfForked(
      [&] {
        try {
          operation();
        } catch (...) {
          return 1;
        }
        return 0;
      },
      delay);
  return status < 128;
}

// How long `operation` takes when nothing stops it, so that the kills can be spread over
// the whole of it and a little beyond.
std::chrono::microseconds Duration(const std::function<void()>& operation) {
  const auto start = std::chrono::steady_clock::now();
  operation();
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               start);
}

constexpr int kKills = 30;

// Spread over the operation and a little beyond; past kKills, further and further beyond,
// for a machine so busy that a run took far longer than the one measured.
std::chrono::microseconds KillDelay(std::chrono::microseconds whole, int step) {
  if (step < kKills) return whole * step * 5 / (4 * kKills);
  return whole * 2 * (step - kKills + 1);
}

// Until the kills have covered the operation and at least one came after its end.
bool MoreKills(int step, int finished) {
  return step < kKills || (finished == 0 && step < 2 * kKills);
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class CrashTest : public ::testing::Test {
 protected:
  CrashTest() {
    // Large enough that copying and flushing it takes a good many milliseconds.
    for (int line = 0; original_.size() < (size_t{8} << 20); ++line) {
      original_ += "10.1.2.3 original-host-" + std::to_string(line) + "\r\n";
    }
    testing::WriteBytes(app_.Join("data.dat"), "a.example\r\nb.example\r\n");
  }

  void Activate() {
    WindowState window;
    ActivateProtection(machine_, hosts_, window);
  }
  void Deactivate() {
    WindowState window;
    DeactivateProtection(machine_, hosts_, window);
  }
  // The backup history's copies aside.
  std::vector<std::string> AppFiles() const {
    std::vector<std::string> names = Entries(app_.path());
    names.erase(std::remove_if(names.begin(), names.end(), IsBackupHistoryName), names.end());
    return names;
  }
  void ExpectNoTemporaryCopies() const {
    EXPECT_EQ(Entries(windows_.path()), std::vector<std::string>{"hosts"});
    EXPECT_EQ(AppFiles(),
              (std::vector<std::string>{"data.dat", "host.bak", "host.sec", "tessaline.lock"}));
    EXPECT_EQ(Entries(state_.path()), std::vector<std::string>{"registry.reg"});
  }

  testing::TempDir windows_;
  testing::TempDir app_;
  testing::TempDir state_;
  RealFileSystem files_{windows_.path()};
  RegistryFile registry_{state_.Join("registry.reg")};
  Machine machine_ = testing::TestMachine(files_, registry_, app_.path());
  std::string hosts_ = windows_.Join("hosts");
  std::string original_;
};

TEST_F(CrashTest, ARestoreKilledAnywhereLeavesAWholeHostsFile) {
  testing::WriteBytes(hosts_, original_);
  Activate();
  const std::string extended = testing::ReadBytes(hosts_);
  const std::chrono::microseconds whole = Duration([this] { Deactivate(); });
  int finished = 0;
  for (int step = 0; MoreKills(step, finished); ++step) {
    SCOPED_TRACE("killed after " + std::to_string(KillDelay(whole, step).count()) + " us");
    testing::WriteBytes(hosts_, extended);
    if (RunKilledAfter([this] { Deactivate(); }, KillDelay(whole, step))) ++finished;
    const std::string now = testing::ReadBytes(hosts_);
    ASSERT_TRUE(now == extended || now == original_) << "a part-written hosts file";
  }
  EXPECT_GT(finished, 0) << "the kills never came late enough";
  EXPECT_LT(finished, kKills) << "the kills never came early enough";

  Deactivate();
  EXPECT_EQ(testing::ReadBytes(hosts_), original_);
  ExpectNoTemporaryCopies();
}

// Killed while it copies an earlier backup into the history too: every copy is whole or
// absent, and the next operation leaves no part of one behind.
TEST_F(CrashTest, AnActivationKilledAnywhereLeavesAWholeBackup) {
  const std::string earlier = "10.9.9.9 earlier-host\r\n" + original_;
  for (const bool with_earlier_backup : {false, true}) {
    SCOPED_TRACE(with_earlier_backup ? "an earlier backup" : "no backup");
    // Leftovers stay, for the next operation to remove.
    const auto start_over = [&] {
      testing::WriteBytes(hosts_, original_);
      std::remove(app_.Join("host.bak").c_str());
      for (const std::string& name : Entries(app_.path())) {
        if (IsBackupHistoryName(name)) std::remove(app_.Join(name).c_str());
      }
      if (with_earlier_backup) testing::WriteBytes(app_.Join("host.bak"), earlier);
    };
    start_over();
    const std::chrono::microseconds whole = Duration([this] { Activate(); });
    int finished = 0;
    for (int step = 0; MoreKills(step, finished); ++step) {
      SCOPED_TRACE("killed after " + std::to_string(KillDelay(whole, step).count()) + " us");
      start_over();
      if (RunKilledAfter([this] { Activate(); }, KillDelay(whole, step))) ++finished;
      if (testing::PathExists(app_.Join("host.bak"))) {
        const std::string backup = testing::ReadBytes(app_.Join("host.bak"));
        ASSERT_TRUE(backup == original_ || (with_earlier_backup && backup == earlier))
            << "a part-written backup";
      }
      for (const std::string& name : Entries(app_.path())) {
        if (IsBackupHistoryName(name)) {
          ASSERT_EQ(testing::ReadBytes(app_.Join(name)), earlier) << "a part-written " << name;
        }
      }
      ASSERT_EQ(testing::ReadBytes(hosts_).substr(0, original_.size()), original_);
    }
    EXPECT_GT(finished, 0) << "the kills never came late enough";
    EXPECT_LT(finished, kKills) << "the kills never came early enough";

    Activate();
    Deactivate();
    EXPECT_EQ(testing::ReadBytes(hosts_), original_);
    ExpectNoTemporaryCopies();
  }
}

}  // namespace
}  // namespace tsl
