// One operation at a time: a second one waits for the first and then sees its work, and an
// operation that waits in vain says which lock and which process held it. Concurrent
// activations run in real child processes on large files, many times over.
#include "protection/operation_lock.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

#include "testsupport/child_process.h"
#include "testsupport/test_machine.h"
#include "text/block_section.h"

namespace tsl {
namespace {

using namespace std::chrono_literals;

constexpr const char* kChildFolders = "TSL_TEST_CHILD_FOLDERS";  // "windows folder|app folder"

TEST(OperationLockTest, ASecondHolderWaitsAndThenSaysWhoHeldIt) {
  const testing::TempDir app;
  const std::string path = app.Join("tessaline.lock");
  {
    const OperationLock first(path, 0ms);
    const auto start = std::chrono::steady_clock::now();
    try {
      const OperationLock second(path, 300ms);
      FAIL() << "two holders at once";
    } catch (const FileError& failure) {
      EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
      EXPECT_EQ(failure.path(), path);
      const std::string text = failure.what();
      EXPECT_NE(text.find("still held it after 300 ms"), std::string::npos) << text;
      EXPECT_NE(text.find("process " + std::to_string(::getpid()) + " still held it"),
                std::string::npos)
          << "names the holder: " << text;
    }
  }
  EXPECT_NO_THROW(OperationLock(path, 0ms)) << "the first holder let go";
}

TEST(OperationLockTest, AnOperationWaitsForTheOneBeforeIt) {
  testing::TempMachine rig;
  testing::WriteBytes(rig.hosts, "original\r\n");
  testing::WriteBytes(rig.block_list, "a.example\r\n");

  std::chrono::steady_clock::duration waited{};
  std::optional<OperationLock> held;
  held.emplace(rig.app.Join("tessaline.lock"), 0ms);
  std::thread operation([&] {
    const auto start = std::chrono::steady_clock::now();
    rig.Activate();
    waited = std::chrono::steady_clock::now() - start;
  });
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(testing::ReadBytes(rig.hosts), "original\r\n") << "it did not wait";
  held.reset();
  operation.join();
  EXPECT_GE(waited, 200ms);
  EXPECT_EQ(testing::ReadBytes(rig.backup), "original\r\n");
}

// Run only as a child of the test below, which names the folders.
TEST(ConcurrentActivationChild, Activate) {
  const char* folders = std::getenv(kChildFolders);
  if (folders == nullptr) GTEST_SKIP() << "runs as a child process only";
  const auto both = testing::Fields(folders);
  testing::ActivateIn(both[0], both[1]);
}

// Several activations started together, then one deactivation: the user's hosts file
// comes back byte for byte, because the first activation's backup is the one kept.
TEST(ConcurrentActivationTest, TheFirstBackupSurvivesEveryTry) {
  constexpr int kTries = 10;
  constexpr int kProcesses = 3;
  std::string original;
  for (int line = 0; line < 150000; ++line) {
    original += "10.0." + std::to_string(line % 250) + ".1 host" + std::to_string(line) + "\r\n";
  }
  std::string block_list;
  for (int name = 0; name < 100000; ++name) {
    block_list += "tracker" + std::to_string(name) + ".example\r\n";
  }
  for (int attempt = 0; attempt < kTries; ++attempt) {
    SCOPED_TRACE("try " + std::to_string(attempt));
    testing::TempMachine rig;
    testing::WriteBytes(rig.hosts, original);
    testing::WriteBytes(rig.block_list, block_list);
    {
      std::vector<std::unique_ptr<testing::ChildProcess>> children;
      for (int child = 0; child < kProcesses; ++child) {
        children.push_back(std::make_unique<testing::ChildProcess>(
            "ConcurrentActivationChild.Activate", kChildFolders,
            rig.windows.path() + "|" + rig.app.path()));
        std::this_thread::sleep_for(std::chrono::milliseconds(attempt * 7 % 40));
      }
      for (const auto& child : children) EXPECT_EQ(child->Wait(), 0);
    }
    ASSERT_EQ(testing::ReadBytes(rig.backup), original);

    rig.Deactivate();
    ASSERT_EQ(testing::ReadBytes(rig.hosts), original);
  }
}

// Twenty activations at once: each one after the first finds the section the one before
// it wrote and replaces it, so one section is left, and one deactivation gives the user's
// file back.
TEST(ConcurrentActivationTest, TwentyAtOnceLeaveOneSection) {
  constexpr int kProcesses = 20;
  std::string original;
  for (int line = 0; line < 20000; ++line) {
    original += "10.0." + std::to_string(line % 250) + ".1 host" + std::to_string(line) + "\r\n";
  }
  const std::string block_list = "a.example\r\nb.example\r\n";
  testing::TempMachine rig;
  testing::WriteBytes(rig.hosts, original);
  testing::WriteBytes(rig.block_list, block_list);
  {
    std::vector<std::unique_ptr<testing::ChildProcess>> children;
    children.reserve(kProcesses);
    for (int child = 0; child < kProcesses; ++child) {
      children.push_back(std::make_unique<testing::ChildProcess>(
          "ConcurrentActivationChild.Activate", kChildFolders,
          rig.windows.path() + "|" + rig.app.path()));
    }
    for (const auto& child : children) EXPECT_EQ(child->Wait(), 0);
  }
  EXPECT_EQ(testing::ReadBytes(rig.hosts),
            original + std::string(kSectionOpening) + BlockEntries(block_list));
  EXPECT_EQ(testing::ReadBytes(rig.backup), original);

  rig.Deactivate();
  EXPECT_EQ(testing::ReadBytes(rig.hosts), original);
}

constexpr const char* kRacingFolders = "TSL_TEST_RACING_FOLDERS";  // "windows|app|lock"

// Looks at the hosts file twice, a while apart, as the operation ends, still holding the
// lock: an operation run from another folder must not change it in between.
class WatchingNameCache final : public NameCache {
 public:
  explicit WatchingNameCache(std::string hosts_file) : hosts_file_(std::move(hosts_file)) {}
  void Flush() override {
    const std::string before = testing::ReadBytes(hosts_file_);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(testing::ReadBytes(hosts_file_), before)
        << "another operation wrote the hosts file while this one held the lock";
  }

 private:
  std::string hosts_file_;
};

// Run only as a child of the test below: activates from its own AppFolder with the lock
// that the test names.
TEST(SecondAppFolderChild, Activate) {
  const char* folders = std::getenv(kRacingFolders);
  if (folders == nullptr) GTEST_SKIP() << "runs as a child process only";
  const auto all = testing::Fields(folders);
  WatchingNameCache cache(all[0] + kPathSeparator + "hosts");
  testing::ActivateIn(all[0], all[1], cache, all[2]);
}

// Two copies of the program in two folders, activating at once on one hosts file, take
// turns on the machine's one lock: neither writes while the other holds it, both backups
// are the user's hosts file, and either one takes the section back.
TEST(SecondAppFolderTest, TwoInstallsTakeTurnsOnOneLock) {
  constexpr int kTries = 10;
  std::string original;
  for (int line = 0; line < 150000; ++line) {
    original += "10.0." + std::to_string(line % 250) + ".1 host" + std::to_string(line) + "\r\n";
  }
  for (int attempt = 0; attempt < kTries; ++attempt) {
    SCOPED_TRACE("try " + std::to_string(attempt));
    testing::TempMachine rig;
    const testing::TempDir other_app;
    const testing::TempDir locks;
    const std::string apps[] = {rig.app.path(), other_app.path()};
    testing::WriteBytes(rig.hosts, original);
    for (const auto& app : apps)
      testing::WriteBytes(app + kPathSeparator + "data.dat", "a.example\r\n");
    std::vector<std::unique_ptr<testing::ChildProcess>> children;
    for (const auto& app : apps) {
      children.push_back(std::make_unique<testing::ChildProcess>(
          "SecondAppFolderChild.Activate", kRacingFolders,
          rig.windows.path() + "|" + app + "|" + testing::LockIn(locks.path())));
      // The second starts while the first is at work, at a different point each try.
      std::this_thread::sleep_for(std::chrono::milliseconds(10 + attempt * 13 % 80));
    }
    for (const auto& child : children) EXPECT_EQ(child->Wait(), 0);
    // Whichever came second found the first one's section and backed up the file without it.
    for (const auto& app : apps) {
      EXPECT_EQ(testing::ReadBytes(app + kPathSeparator + "host.bak"), original);
    }
    DeactivateProtection(testing::TestMachine(rig.files, rig.registry, apps[attempt % 2]),
                         rig.hosts, rig.window);
    EXPECT_EQ(testing::ReadBytes(rig.hosts), original);
  }
}

}  // namespace
}  // namespace tsl
