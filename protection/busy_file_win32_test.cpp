// Other processes hold the hosts file, the backup and the block list open -- as scanners,
// indexers and editors do, with each share mode -- for half a second, for two seconds and
// for ever, in real child processes. A short hold is waited for and the operation does its
// work; a hold that outlasts the wait fails the step that needed the file, named in the
// report, with the hosts file as it was -- never copied over in place.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/handle.h"
#include "testsupport/child_process.h"
#include "testsupport/test_machine.h"

namespace tsl {
namespace {

constexpr const char* kHold = "TSL_TEST_HOLD";  // "share mode|milliseconds or -1|path"
constexpr int kForEver = -1;

// Run only as a child of the tests below: opens the file for reading with the share mode
// named, as soon as it can, and holds it for the time named.
TEST(BusyFileHolderChild, Hold) {
  const char* hold = std::getenv(kHold);
  if (hold == nullptr) GTEST_SKIP() << "run only by the busy-file tests";
  const std::string text = hold;
  const size_t first = text.find('|');
  const size_t second = text.find('|', first + 1);
  const auto share = static_cast<DWORD>(std::stoul(text.substr(0, first)));
  const int milliseconds = std::stoi(text.substr(first + 1, second - first - 1));
  const std::string path = text.substr(second + 1);
  UniqueHandle file;
  for (int attempt = 0; attempt < 2000 && !file.valid(); ++attempt) {
    file.reset(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) Sleep(5);
  }
  ASSERT_TRUE(file.valid()) << path;
  Sleep(milliseconds == kForEver ? INFINITE : static_cast<DWORD>(milliseconds));
}

// Whether another process holds `path` without letting others delete it.
bool HeldByAnother(const std::string& path) {
  const UniqueHandle probe(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
  return !probe.valid() && GetLastError() == ERROR_SHARING_VIOLATION;
}

enum class Operation { kActivate, kDeactivate };
enum class HeldFile { kHosts, kBackup, kBlockList };

// Which of the holder's share modes let the operation through: a read needs
// FILE_SHARE_READ, a replacement FILE_SHARE_DELETE.
struct Scenario {
  Operation operation;
  HeldFile held;
  DWORD needs;
};

constexpr Scenario kScenarios[] = {
    {Operation::kActivate, HeldFile::kHosts, FILE_SHARE_READ | FILE_SHARE_DELETE},
    {Operation::kActivate, HeldFile::kBackup, FILE_SHARE_READ | FILE_SHARE_DELETE},
    {Operation::kActivate, HeldFile::kBlockList, FILE_SHARE_READ},
    {Operation::kDeactivate, HeldFile::kHosts, FILE_SHARE_READ | FILE_SHARE_DELETE},
    {Operation::kDeactivate, HeldFile::kBackup, FILE_SHARE_READ},
};

constexpr DWORD kShareModes[] = {0, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE};

constexpr std::string_view kOriginal = "127.0.0.1 localhost\r\n";

std::string Protected() { return std::string(kOriginal) + testing::SectionOf({"a.example"}); }

// One machine of the test's own, in the state its operation starts from.
class Scene : testing::TempMachine {
 public:
  Scene(const Scenario& scenario, DWORD share) : scenario_(scenario), share_(share) {
    const bool activating = scenario.operation == Operation::kActivate;
    testing::WriteBytes(hosts, activating ? std::string(kOriginal) : Protected());
    testing::WriteBytes(block_list, "a.example\r\n");
    // An activation over a backup from an earlier time replaces it.
    if (!activating || scenario.held == HeldFile::kBackup) {
      testing::WriteBytes(backup, activating ? "earlier\r\n" : std::string(kOriginal));
    }
    SetBlocked(activating ? "0" : "1");
  }

  [[nodiscard]] std::string HeldPath() const {
    switch (scenario_.held) {
      case HeldFile::kHosts:
        return hosts;
      case HeldFile::kBackup:
        return backup;
      case HeldFile::kBlockList:
        break;
    }
    return block_list;
  }

  // Starts the holder and, once it holds the file, the operation.
  void Start(int milliseconds) {
    const std::string value =
        std::to_string(share_) + "|" + std::to_string(milliseconds) + "|" + HeldPath();
    holder_ = std::make_unique<testing::ChildProcess>("BusyFileHolderChild.Hold", kHold, value);
    for (int i = 0; i < 2000 && !HeldByAnother(HeldPath()); ++i) Sleep(5);
    ASSERT_TRUE(HeldByAnother(HeldPath())) << "the holder never held " << HeldPath();
    operation_ = std::thread([this] {
      try {
        if (scenario_.operation == Operation::kActivate) {
          Activate();
        } else {
          Deactivate();
        }
      } catch (const FileError& error) {
        failure_ = error.what();
        failed_path_ = error.path();
      }
    });
  }

  void Finish() {
    if (operation_.joinable()) operation_.join();
    holder_.reset();
  }

  [[nodiscard]] std::string Describe() const {
    return std::string(scenario_.operation == Operation::kActivate ? "activation"
                                                                   : "deactivation") +
           " with " + HeldPath() + " held, share mode " + std::to_string(share_);
  }

  void ExpectDone() const {
    EXPECT_EQ(failure_, "") << Describe();
    const bool activating = scenario_.operation == Operation::kActivate;
    EXPECT_EQ(testing::ReadBytes(hosts), activating ? Protected() : std::string(kOriginal))
        << Describe();
    EXPECT_EQ(Blocked(), activating ? "1" : "0") << Describe();
  }

  // The step that needed the held file failed and said so; the hosts file is as it was
  // and the recorded state unchanged.
  void ExpectRefusedUntouched() const {
    EXPECT_EQ(failed_path_, HeldPath()) << Describe() << ": " << failure_;
    const bool activating = scenario_.operation == Operation::kActivate;
    EXPECT_EQ(testing::ReadBytes(hosts), activating ? std::string(kOriginal) : Protected())
        << Describe();
    EXPECT_EQ(Blocked(), activating ? "0" : "1") << Describe();
    WIN32_FIND_DATAA found{};
    const UniqueFindHandle leftover(FindFirstFileA((hosts + ".tsl-*").c_str(), &found));
    EXPECT_FALSE(leftover.valid()) << Describe() << " left " << found.cFileName;
  }

  [[nodiscard]] bool Admitted() const { return (share_ & scenario_.needs) == scenario_.needs; }

 private:
  Scenario scenario_;
  DWORD share_;
  std::unique_ptr<testing::ChildProcess> holder_;
  std::thread operation_;
  std::string failure_;
  std::string failed_path_;
};

// Every scenario with every share mode at once, so that the waits run side by side.
std::vector<std::unique_ptr<Scene>> RunAll(int milliseconds) {
  std::vector<std::unique_ptr<Scene>> scenes;
  for (const Scenario& scenario : kScenarios) {
    for (const DWORD share : kShareModes) {
      scenes.push_back(std::make_unique<Scene>(scenario, share));
      scenes.back()->Start(milliseconds);
    }
  }
  for (const auto& scene : scenes) scene->Finish();
  return scenes;
}

TEST(BusyFileWin32Test, AHoldOfHalfASecondIsWaitedFor) {
  for (const auto& scene : RunAll(500)) scene->ExpectDone();
}

TEST(BusyFileWin32Test, AHoldOfTwoSecondsIsWaitedFor) {
  for (const auto& scene : RunAll(2000)) scene->ExpectDone();
}

TEST(BusyFileWin32Test, AHoldForEverFailsTheStepAndLeavesTheHostsFileAsItWas) {
  for (const auto& scene : RunAll(kForEver)) {
    if (scene->Admitted()) {
      scene->ExpectDone();
    } else {
      scene->ExpectRefusedUntouched();
    }
  }
}

}  // namespace
}  // namespace tsl
