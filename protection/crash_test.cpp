// An activation killed at any instant, in a real child process on both platforms: the
// hosts file is its old bytes or the new ones, never a cut entry, the next activation
// still gives the user's file back on deactivation, and it leaves no temporary copy of any
// file behind, the backup history's included.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/temporary_name.h"
#include "protection/backup_history.h"
#include "testsupport/child_process.h"
#include "testsupport/test_machine.h"

namespace tsl {
namespace {

constexpr const char* kChildFolders = "TSL_TEST_KILLED_FOLDERS";  // "windows folder|app folder"

// Run only as a child of the test below, which names the folders.
TEST(KilledActivationChild, Activate) {
  const char* folders = std::getenv(kChildFolders);
  if (folders == nullptr) GTEST_SKIP() << "runs as a child process only";
  const auto both = testing::Fields(folders);
  testing::ActivateIn(both[0], both[1]);
}

TEST(KilledActivationTest, TheHostsFileIsAlwaysTheOldOrTheNewOne) {
  constexpr int kKills = 32;
  testing::TempMachine rig;
  std::string original;
  for (int line = 0; original.size() < (size_t{8} << 20); ++line) {
    original += "10.1.2.3 original-host-" + std::to_string(line) + "\r\n";
  }
  std::string block_list;
  for (int name = 0; name < 200000; ++name) {
    block_list += "tracker-" + std::to_string(name) + ".example\r\n";
  }
  testing::WriteBytes(rig.block_list, block_list);
  const std::string earlier = "10.9.9.9 earlier-host\r\n" + original;
  const auto start_child = [&] {
    return std::make_unique<testing::ChildProcess>("KilledActivationChild.Activate", kChildFolders,
                                                   rig.windows.path() + "|" + rig.app.path());
  };

  testing::WriteBytes(rig.hosts, original);
  testing::WriteBytes(rig.backup, earlier);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(start_child()->Wait(), 0);
  const auto whole = std::chrono::steady_clock::now() - started;
  const std::string extended = testing::ReadBytes(rig.hosts);
  ASSERT_EQ(extended.substr(0, original.size()), original);

  int finished = 0;
  for (int step = 0; step < kKills || (finished == 0 && step < 2 * kKills); ++step) {
    // Spread over the child's whole run and a little beyond, then further beyond for a
    // machine so busy that a run took longer than the one measured.
    const auto delay =
        step < kKills ? whole * step * 5 / (4 * kKills) : whole * (step - kKills + 2);
    SCOPED_TRACE(
        "killed after " +
        std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(delay).count()) +
        " ms");
    // An earlier backup, so that the kills come during its copy into the history too.
    testing::WriteBytes(rig.hosts, original);
    testing::WriteBytes(rig.backup, earlier);
    for (const auto& entry : std::filesystem::directory_iterator(rig.app.path())) {
      if (IsBackupHistoryName(entry.path().filename().string())) std::filesystem::remove(entry);
    }
    const auto child = start_child();
    std::this_thread::sleep_for(delay);
    child->Kill();
    if (child->Wait() == 0) ++finished;
    const std::string now = testing::ReadBytes(rig.hosts);
    ASSERT_TRUE(now == original || now == extended)
        << "a part-written hosts file of " << now.size() << " bytes";
  }
  EXPECT_GT(finished, 0) << "the kills never came late enough";
  EXPECT_LT(finished, kKills) << "the kills never came early enough";

  testing::WriteBytes(rig.hosts, original);
  rig.Activate();
  EXPECT_EQ(testing::ReadBytes(rig.hosts), extended);
  EXPECT_EQ(testing::ReadBytes(rig.backup), original);
  for (const std::string& folder : {rig.windows.path(), rig.app.path()}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      EXPECT_TRUE(TemporaryCopyOriginal(entry.path().filename().string()).empty())
          << "left behind: " << entry.path();
    }
  }
}

}  // namespace
}  // namespace tsl
