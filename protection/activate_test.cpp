// Activation over a hosts file that already holds a block section, and the backups it
// keeps when the hosts file changed behind its back.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "protection/hosts_file.h"
#include "protection/protection_state.h"
#include "testsupport/test_machine.h"
#include "text/block_section.h"

namespace tsl {
namespace {

using testing::ReadBytes;
using testing::SectionOf;
using testing::WriteBytes;

class ActivateTest : public testing::ProtectionFixture {
 protected:
  void SetBlockList(std::string_view names) {
    std::string list;
    for (const char name : names) list += std::string(1, name) + "\r\n";
    WriteBytes(block_list, list);
  }
  // Every file of AppFolder holding exactly these bytes.
  [[nodiscard]] int CopiesInAppFolder(const std::string& bytes) const {
    const auto entries = std::filesystem::directory_iterator(app.path());
    return static_cast<int>(std::count_if(begin(entries), end(entries), [&](const auto& entry) {
      return entry.is_regular_file() && ReadBytes(entry.path().string()) == bytes;
    }));
  }
};

TEST_F(ActivateTest, ASectionAlreadyThereIsReplacedInItsPlace) {
  WriteBytes(hosts, "a\r\n");
  SetBlockList("xy");
  Activate();
  WriteBytes(hosts, "a\r\n" + SectionOf({"x", "y"}) + "after\r\n");
  SetBlocked("0");  // the "Blocked" write did not stick
  SetBlockList("xyz");
  Activate();
  EXPECT_EQ(ReadBytes(hosts), "a\r\n" + SectionOf({"x", "y", "z"}) + "after\r\n");
  EXPECT_EQ(ReadBytes(backup), "a\r\n") << "the backup of the file before the section stays";
}

TEST_F(ActivateTest, RetriesAndStackedSectionsLeaveOneSection) {
  WriteBytes(hosts, "a\r\n");
  SetBlockList("x");
  for (int retry = 0; retry < 3; ++retry) {
    SetBlocked("0");
    Activate();
  }
  EXPECT_EQ(ReadBytes(hosts), "a\r\n" + SectionOf({"x"}));

  WriteBytes(hosts, "a\r\n" + SectionOf({"x"}) + "b\r\n" + SectionOf({"x"}) + SectionOf({"x"}));
  Activate();
  EXPECT_EQ(ReadBytes(hosts), "a\r\n" + SectionOf({"x"}) + "b\r\n");
  Deactivate();
  EXPECT_EQ(ReadBytes(hosts), "a\r\nb\r\n");
}

// An anti-virus "clean" resets the hosts file while protection is on; the user turns
// protection off and on again. The backup from before the first activation is kept.
TEST_F(ActivateTest, TheFirstBackupSurvivesAHostsFileResetByAnotherProgram) {
  const std::string first = "127.0.0.1 localhost\r\n10.0.0.6 printer\r\n";
  WriteBytes(hosts, first);
  SetBlockList("x");
  Activate();
  WriteBytes(hosts, "# reset by the anti-virus\r\n");
  Deactivate();
  Activate();
  EXPECT_EQ(ReadBytes(backup), "# reset by the anti-virus\r\n");
  EXPECT_EQ(CopiesInAppFolder(first), 1);
  EXPECT_EQ(ReadBytes(app.Join("host.bak.000001")), first);
}

// A refresh (an upgrade's) that had to wait for a deactivation does not turn protection
// back on: whether protection is on is looked at once the lock is had.
TEST_F(ActivateTest, ARefreshThatWaitedForADeactivationChangesNothing) {
  using namespace std::chrono_literals;
  const std::string original = "a\r\n";
  WriteBytes(hosts, original);
  SetBlockList("x");
  Activate();
  bool refreshed = true;
  {
    // Another operation holds the lock while the refresh is asked for; it turns protection
    // off before letting go.
    std::optional<OperationLock> deactivation(std::in_place, machine.lock_path, 0ms);
    std::thread refresh([&] { refreshed = RefreshProtection(machine, hosts, window); });
    std::this_thread::sleep_for(200ms);
    WriteBytes(hosts, original);
    SetBlocked("0");
    deactivation.reset();
    refresh.join();
  }
  EXPECT_FALSE(refreshed);
  EXPECT_EQ(ReadBytes(hosts), original);
  EXPECT_EQ(Blocked(), "0");

  SetBlocked("1");
  Activate();
  SetBlockList("yz");
  EXPECT_TRUE(RefreshProtection(machine, hosts, window));
  EXPECT_EQ(ReadBytes(hosts), original + SectionOf({"y", "z"}));
}

// Whatever data.dat holds: one entry per line, all of them blocking; activating again and
// refreshing give the same bytes and write nothing; deactivating gives the file back.
TEST_F(ActivateTest, EveryShapeOfBlockListRoundTripsExactly) {
  namespace fs = std::filesystem;
  const std::string original = "127.0.0.1 localhost\r\n";
  const struct {
    const char* what;
    std::string list;
    size_t entries;
  } lists[] = {
      {"CR LF", "one.example\r\ntwo.example\r\n", 2},
      {"LF", "one.example\ntwo.example\nthree.example\n", 3},
      {"CR", "one.example\rtwo.example\r", 2},
      {"no final break", "one.example\r\ntwo.example", 2},
      {"empty", "", 0},
      {"blank lines and blanks around names", "\r\n one.example \r\n\t\r\n", 3},
      {"comments and the header itself", "#note\r\n#email snoop protection \r\nx # y\r\n", 3},
      {"a name twice", "one.example\r\none.example\r\n", 2},
      {"bytes that are no name", std::string("a\0b\r\n\xff\xfe\r\n", 8), 2},
  };
  for (const auto& shape : lists) {
    SCOPED_TRACE(shape.what);
    WriteBytes(hosts, original);
    WriteBytes(block_list, shape.list);
    std::remove(app.Join("host.sec").c_str());
    SetBlocked("0");
    Activate();
    const std::string activated = ReadBytes(hosts);
    EXPECT_EQ(activated, original + std::string(kSectionOpening) + BlockEntries(shape.list));
    EXPECT_EQ(CountBlockListLines(shape.list), shape.entries);
    EXPECT_EQ(CurrentProtectionState(machine, hosts), ProtectionState::kOn);

    fs::last_write_time(hosts, fs::file_time_type::clock::now() - std::chrono::hours(48));
    const fs::file_time_type long_ago = fs::last_write_time(hosts);  // as the file system keeps it
    EXPECT_TRUE(RefreshProtection(machine, hosts, window));
    Activate();
    EXPECT_EQ(ReadBytes(hosts), activated);
    EXPECT_EQ(fs::last_write_time(hosts), long_ago) << "a refresh that changes nothing writes";

    Deactivate();
    EXPECT_EQ(ReadBytes(hosts), original);
    EXPECT_EQ(CurrentProtectionState(machine, hosts), ProtectionState::kOff);
  }
}

// A hosts file that holds the section already (another install's, or a machine image's),
// or a backup an earlier version let a section into: the backup never holds one, and
// deactivation never puts one back.
TEST_F(ActivateTest, TheBackupNeverHoldsASection) {
  SetBlockList("xy");
  WriteBytes(hosts, "a\r\n" + SectionOf({"x", "y"}));
  Activate();
  EXPECT_EQ(ReadBytes(backup), "a\r\n");
  WriteBytes(backup, "a\r\n" + SectionOf({"x"}));
  Activate();
  EXPECT_EQ(ReadBytes(backup), "a\r\n");
  Deactivate();
  EXPECT_EQ(ReadBytes(hosts), "a\r\n");
}

// The section is taken back from the file it went into, also when the other place a hosts
// file may lie has one since, and until then the state is not "off".
TEST_F(ActivateTest, TheSectionComesOutOfTheFileItWentInto) {
  SetBlockList("xy");
  WriteBytes(hosts, "a\r\n");
  Activate();
  const std::string winner = windows.Join("hosts");
  WriteBytes(winner, "b\r\n");
  std::string located;
  ASSERT_TRUE(LocateHostsFile(files, located));
  ASSERT_EQ(located, winner);
  EXPECT_EQ(CurrentProtectionState(machine, located), ProtectionState::kOn);
  SetBlocked("0");
  EXPECT_EQ(CurrentProtectionState(machine, located), ProtectionState::kUnrecorded);
  DeactivateProtection(machine, located, window);
  EXPECT_EQ(ReadBytes(hosts), "a\r\n");
  EXPECT_EQ(ReadBytes(winner), "b\r\n");
  EXPECT_EQ(CurrentProtectionState(machine, located), ProtectionState::kOff);
}

}  // namespace
}  // namespace tsl
