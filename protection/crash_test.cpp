// An activation killed at any instant, in a real child process on both platforms: the
// hosts file is its old bytes or the new ones, never a cut entry, and the next activation
// still gives the user's file back on deactivation.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "protection/protection.h"
#include "protection/real_file_system.h"
#include "testsupport/child_process.h"
#include "testsupport/test_machine.h"
#include "testsupport/test_support.h"
#include "ui/window_state.h"

namespace tsl {
namespace {

constexpr const char* kChildFolders = "TSL_TEST_KILLED_FOLDERS";  // "windows folder|app folder"

// The child is killed, so nothing of it may need cleaning up: its settings go nowhere.
class DiscardingRegistry final : public RegistryHive {
 public:
  [[nodiscard]] std::optional<RegistryValue> Read(std::uint32_t, std::string_view,
                                                  std::string_view) const override {
    return std::nullopt;
  }
  void Write(std::uint32_t, std::string_view, std::string_view, const RegistryValue&) override {}
};

void ActivateIn(const std::string& windows, const std::string& app, RegistryHive& registry) {
  RealFileSystem files(windows);
  WindowState window;
  ActivateProtection(testing::TestMachine(files, registry, app), windows + kPathSeparator + "hosts",
                     window);
}

// Run only as a child of the test below, which names the folders.
TEST(KilledActivationChild, Activate) {
  const char* folders = std::getenv(kChildFolders);
  if (folders == nullptr) GTEST_SKIP() << "runs as a child process only";
  const std::string both(folders);
  DiscardingRegistry registry;
  ActivateIn(both.substr(0, both.find('|')), both.substr(both.find('|') + 1), registry);
}

TEST(KilledActivationTest, TheHostsFileIsAlwaysTheOldOrTheNewOne) {
  constexpr int kKills = 32;
  const testing::TempDir windows;
  const testing::TempDir app;
  const std::string hosts = windows.Join("hosts");
  std::string original;
  for (int line = 0; original.size() < (size_t{8} << 20); ++line) {
    original += "10.1.2.3 original-host-" + std::to_string(line) + "\r\n";
  }
  std::string block_list;
  for (int name = 0; name < 200000; ++name) {
    block_list += "tracker-" + std::to_string(name) + ".example\r\n";
  }
  testing::WriteBytes(app.Join("data.dat"), block_list);
  const auto start_child = [&] {
    return std::make_unique<testing::ChildProcess>("KilledActivationChild.Activate", kChildFolders,
                                                   windows.path() + "|" + app.path());
  };

  testing::WriteBytes(hosts, original);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(start_child()->Wait(), 0);
  const auto whole = std::chrono::steady_clock::now() - started;
  const std::string extended = testing::ReadBytes(hosts);
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
    testing::WriteBytes(hosts, original);
    std::remove(app.Join("host.bak").c_str());
    const auto child = start_child();
    std::this_thread::sleep_for(delay);
    child->Kill();
    if (child->Wait() == 0) ++finished;
    const std::string now = testing::ReadBytes(hosts);
    ASSERT_TRUE(now == original || now == extended)
        << "a part-written hosts file of " << now.size() << " bytes";
  }
  EXPECT_GT(finished, 0) << "the kills never came late enough";
  EXPECT_LT(finished, kKills) << "the kills never came early enough";

  testing::WriteBytes(hosts, original);
  DiscardingRegistry registry;
  ActivateIn(windows.path(), app.path(), registry);
  EXPECT_EQ(testing::ReadBytes(hosts), extended);
  EXPECT_EQ(testing::ReadBytes(app.Join("host.bak")), original);
}

}  // namespace
}  // namespace tsl
